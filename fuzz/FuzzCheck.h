#pragma once
// The oracle of a fuzz target reports a broken property through FUZZ_CHECK. Under libFuzzer
// the process stops, so the input is kept as a crash file; in the replay tests the failure
// becomes a test failure that names the input file.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "shapes/Shape.h"
#include "testing/hostile/ShapeRules.h"

namespace zr::fuzz {

[[noreturn]] void failed(char const* file, int line, std::string const& what);

} // namespace zr::fuzz

// `detail` is evaluated only when the condition fails, so it may build a costly message.
#define FUZZ_CHECK(condition, detail)                                                  \
    do {                                                                               \
        if (!(condition))                                                              \
            ::zr::fuzz::failed(__FILE__, __LINE__, std::string(#condition ": ") + (detail)); \
    } while (false)

namespace zr::fuzz {

// Input bytes as text: one character per byte, or with `rawCharacters` 4 bytes per character
// as raw 32-bit values (any value, including ones beyond Unicode).
inline std::wstring decodeText(uint8_t const* bytes, std::size_t size, bool rawCharacters) {
    if (!rawCharacters)
        return std::wstring(bytes, bytes + size);
    std::wstring text(size / 4, L'\0');
    if (!text.empty())
        std::memcpy(text.data(), bytes, text.size() * 4);
    return text;
}

// Printable characters as they are, anything else as "?".
inline std::string narrow(std::wstring const& text) {
    std::string out;
    for (wchar_t c : text)
        out += c >= 32 && c < 127 ? static_cast<char>(c) : '?';
    return out;
}

inline std::string nodeText(zr::Node const* nodes, int32_t i) {
    return "node " + std::to_string(i) + " (" + std::to_string(nodes[i].x) + ", " + std::to_string(nodes[i].y) + ")";
}

inline std::string nodesText(zr::Shape const& shape) {
    std::string text = "node count " + std::to_string(shape.nodeCount);
    for (int32_t i = 0; i < shape.nodeCount && i < zr::Shape::kMaxNodes; ++i)
        text += ", " + nodeText(shape.nodes, i);
    return text;
}

// The node rules (testing/hostile/ShapeRules.h) that every shape built from a text or file keeps.
inline void checkNodeRules(zr::Shape const& shape) { FUZZ_CHECK(hostile::keepsNodeRules(shape), nodesText(shape)); }

// `reread` is `record` written as text (8 digits of volts) and read back: it holds the same
// nodes within a few float steps. Only nodes closer than that can merge and make the written
// text refuse to parse.
inline void checkReadsBackClose(zr::Shape const& record, zr::Shape const& reread, std::string const& written) {
    bool closeNeighbours = false;
    for (int32_t i = 1; i < record.nodeCount; ++i)
        closeNeighbours |= record.nodes[i].x - record.nodes[i - 1].x < 1e-6f;
    FUZZ_CHECK(reread.invalid == 0 || closeNeighbours, "the written \"" + written + "\" is rejected");
    if (reread.invalid != 0)
        return;
    FUZZ_CHECK(reread.nodeCount == record.nodeCount, "the written \"" + written + "\" has another node count");
    for (int32_t i = 0; i < record.nodeCount; ++i)
        FUZZ_CHECK(std::fabs(reread.nodes[i].x - record.nodes[i].x) <= 1e-6f &&
                       std::fabs(reread.nodes[i].y - record.nodes[i].y) <= 1e-6f,
                   "the written \"" + written + "\" reads back far from " + nodeText(record.nodes, i));
}

} // namespace zr::fuzz

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, std::size_t size);
