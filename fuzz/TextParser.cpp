// Fuzz target: the text parser (setString). The first byte picks the record the text is
// parsed into and how the remaining bytes become characters: one byte each, or 4 bytes each
// as raw 32-bit characters (any value, including ones beyond Unicode).
// Oracle: an accepted text leaves a shape that keeps the node rules (2..100 nodes, first x 0,
// last x 1, x strictly increasing, y within -1..+1, all finite), reports a change exactly
// when the nodes changed, keeps the mode, and its getString text parses back to the same
// nodes; the constructor taking the same text agrees. A rejected text leaves every byte of
// the record as it was, except `invalid`, which is set.

#include <cmath>
#include <cstring>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "fuzz/StartingRecords.h"

namespace {

std::wstring decodeText(uint8_t const* bytes, std::size_t size, bool rawCharacters) {
    std::wstring text;
    if (!rawCharacters) {
        text.assign(bytes, bytes + size);
        return text;
    }
    text.resize(size / 4);
    if (!text.empty())
        std::memcpy(text.data(), bytes, text.size() * 4);
    return text;
}

std::string nodeText(zr::Shape const& shape, int32_t i) {
    return "node " + std::to_string(i) + " (" + std::to_string(shape.nodes[i].x) + ", " +
           std::to_string(shape.nodes[i].y) + ")";
}

void checkNodeRules(zr::Shape const& shape) {
    int32_t const count = shape.nodeCount;
    FUZZ_CHECK(count >= 2 && count <= 100, "node count " + std::to_string(count));
    FUZZ_CHECK(shape.nodes[0].x == 0.0f, nodeText(shape, 0));
    FUZZ_CHECK(shape.nodes[count - 1].x == 1.0f, nodeText(shape, count - 1));
    for (int32_t i = 0; i < count; ++i) {
        zr::Node const& node = shape.nodes[i];
        FUZZ_CHECK(std::isfinite(node.x) && std::isfinite(node.y), nodeText(shape, i));
        FUZZ_CHECK(node.y >= -1.0f && node.y <= 1.0f, nodeText(shape, i));
        FUZZ_CHECK(i == 0 || node.x > shape.nodes[i - 1].x, nodeText(shape, i) + " does not follow " + nodeText(shape, i - 1));
    }
}

std::string narrow(std::wstring const& text) {
    std::string out;
    for (wchar_t c : text)
        out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size) {
    if (size == 0 || size > 1u << 16)
        return 0;
    uint8_t const setup = data[0];
    std::wstring const text = decodeText(data + 1, size - 1, (setup & 0x80) != 0);

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

    checkNodeRules(record);
    bool const differs = zr::fuzz::nodesDiffer(record, before);
    FUZZ_CHECK(reported == differs, "the reported change disagrees with the nodes");
    FUZZ_CHECK(record.changed == (before.changed || differs), "the changed flag is wrong");
    FUZZ_CHECK(record.interpolation == before.interpolation, "parsing a text changed the mode");

    std::wstring const written = record.getString();
    zr::Shape reread;
    reread.setString(written);
    // The text form keeps eight digits of volts, so it reads back within a few float steps;
    // only nodes closer than that can merge and make the written text refuse to parse.
    bool closeNeighbours = false;
    for (int32_t i = 1; i < record.nodeCount; ++i)
        closeNeighbours |= record.nodes[i].x - record.nodes[i - 1].x < 1e-6f;
    FUZZ_CHECK(reread.invalid == 0 || closeNeighbours, "the written text \"" + narrow(written) + "\" is rejected");
    if (reread.invalid == 0) {
        FUZZ_CHECK(reread.nodeCount == record.nodeCount, "the written text has another node count");
        for (int32_t i = 0; i < record.nodeCount; ++i)
            FUZZ_CHECK(std::fabs(reread.nodes[i].x - record.nodes[i].x) <= 1e-6f &&
                           std::fabs(reread.nodes[i].y - record.nodes[i].y) <= 1e-6f,
                       "the written text \"" + narrow(written) + "\" reads back far from the nodes");
    }

    if (text.find(L'\0') == std::wstring::npos) {
        zr::Shape const constructed(text.c_str());
        FUZZ_CHECK(constructed.invalid == 0 && constructed.changed == 0 && !zr::fuzz::nodesDiffer(constructed, record),
                   "the constructor disagrees with setString");
    }
    return 0;
}
