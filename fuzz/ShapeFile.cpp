// Fuzz target: the shape-file content reader (what loadShp does with a file's bytes). The
// first byte picks the record the content is read into; the rest is the file content.
// Oracle: the content's text ends at its first byte outside ASCII. It is accepted exactly
// when setString accepts the text before its first newline; then the nodes are those, the
// mode is the integer after the first "ITP=" beyond the newline when that is a valid mode
// (otherwise the mode stays), a change is reported exactly when nodes or mode changed, and
// the record re-saves and re-loads to the same mode and nodes. Rejected content leaves every
// byte of the record as it was, except `invalid`, which is set.

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/StartingRecords.h"

namespace {

// The mode line read with the C library: -1 when there is no "ITP=" after the first newline,
// no integer right after it, or one beyond 32 bits.
int32_t expectedMode(std::string const& text) {
    std::size_t const newline = text.find('\n');
    std::size_t const prefix = newline == std::string::npos ? newline : text.find("ITP=", newline);
    if (prefix == std::string::npos)
        return -1;
    char const* const digits = text.c_str() + prefix + 4;
    char* end = nullptr;
    errno = 0;
    long const mode = std::strtol(digits, &end, 10);
    bool const fits = end != digits && errno == 0 && mode >= INT32_MIN && mode <= INT32_MAX;
    return fits ? static_cast<int32_t>(mode) : -1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 1u << 16)
        return 0;
    std::string const content(data + 1, data + size);
    std::string text = content;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (static_cast<unsigned char>(text[i]) >= 0x80)
            text.resize(i);

    zr::Shape record = zr::fuzz::startingRecord(data[0]);
    zr::Shape const before = zr::fuzz::copyOf(record);
    bool const reported = record.readShpContent(content);

    zr::Shape nodesOnly = zr::fuzz::copyOf(before);
    nodesOnly.setString(std::wstring(text.begin(), text.begin() + std::min(text.find('\n'), text.size())));
    FUZZ_CHECK(record.invalid == nodesOnly.invalid, "the file and its node line disagree on acceptance");
    if (record.invalid != 0) {
        zr::Shape expected = zr::fuzz::copyOf(before);
        expected.invalid = 1;
        FUZZ_CHECK(!reported, "rejected content reported a change");
        FUZZ_CHECK(zr::fuzz::sameBytes(record, expected), "rejected content changed the record");
        return 0;
    }

    zr::fuzz::checkNodeRules(record);
    FUZZ_CHECK(!zr::fuzz::nodesDiffer(record, nodesOnly), "the nodes differ from those of the node line");
    int32_t const mode = expectedMode(text);
    int32_t const expected = zr::isValidInterpolation(mode) ? mode : before.interpolation;
    FUZZ_CHECK(record.interpolation == expected, "mode " + std::to_string(record.interpolation) + ", expected " +
                                                     std::to_string(expected));
    bool const differs = zr::fuzz::nodesDiffer(record, before) || record.interpolation != before.interpolation;
    FUZZ_CHECK(reported == differs, "the reported change disagrees with the record");
    FUZZ_CHECK(record.changed == (before.changed || differs), "the changed flag is wrong");

    std::string const saved = record.shpContent();
    zr::Shape reloaded;
    reloaded.setInterpolation(record.interpolation == zr::Linear ? zr::None : zr::Linear);
    reloaded.readShpContent(saved);
    zr::fuzz::checkReadsBackClose(record, reloaded, "file " + saved);
    FUZZ_CHECK(reloaded.invalid != 0 || reloaded.interpolation == record.interpolation, "the saved mode reads back as " +
                                                                                          std::to_string(reloaded.interpolation));
    return 0;
}
