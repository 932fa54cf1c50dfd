// Fuzz target: the text parser (setString). The first byte picks the record the text is
// parsed into and how the remaining bytes become characters: one byte each, or 4 bytes each
// as raw 32-bit characters (any value, including ones beyond Unicode).
// Oracle: an accepted text leaves a shape that keeps the node rules (2..100 nodes, first x 0,
// last x 1, x strictly increasing, y within -1..+1, all finite), reports a change exactly
// when the nodes changed, keeps the mode, and its getString text parses back to the same
// nodes; the constructor taking the same text agrees. A rejected text leaves every byte of
// the record as it was, except `invalid`, which is set.

#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/StartingRecords.h"

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 1u << 16)
        return 0;
    uint8_t const setup = data[0];
    std::wstring const text = zr::fuzz::decodeText(data + 1, size - 1, (setup & 0x80) != 0);

    zr::Shape record = zr::fuzz::startingRecord(setup);
    zr::Shape const before = zr::fuzz::copyOf(record);
    bool const reported = record.setString(text);

    if (record.invalid != 0) {
        zr::Shape expected = zr::fuzz::copyOf(before);
        expected.invalid = 1;
        FUZZ_CHECK(!reported, "a rejected text reported a change");
        FUZZ_CHECK(zr::fuzz::sameBytes(record, expected), "a rejected text changed the record");
        if (text.find(L'\0') == std::wstring::npos) {
            zr::Shape const constructed(text.c_str());
            FUZZ_CHECK(constructed.invalid == 1 && !zr::fuzz::nodesDiffer(constructed, zr::Shape()),
                       "the constructor accepted a text setString rejects");
        }
        return 0;
    }

    zr::fuzz::checkNodeRules(record);
    bool const differs = zr::fuzz::nodesDiffer(record, before);
    FUZZ_CHECK(reported == differs, "the reported change disagrees with the nodes");
    FUZZ_CHECK(record.changed == (before.changed || differs), "the changed flag is wrong");
    FUZZ_CHECK(record.interpolation == before.interpolation, "parsing a text changed the mode");

    std::wstring const written = record.getString();
    zr::Shape reread;
    reread.setString(written);
    zr::fuzz::checkReadsBackClose(record, reread, "text " + zr::fuzz::narrow(written));

    if (text.find(L'\0') == std::wstring::npos) {
        zr::Shape const constructed(text.c_str());
        FUZZ_CHECK(constructed.invalid == 0 && constructed.changed == 0 && !zr::fuzz::nodesDiffer(constructed, record),
                   "the constructor disagrees with setString");
    }
    return 0;
}
