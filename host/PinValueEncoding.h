#pragma once
// The raw bytes a host sends for a pin value written as JSON (a default in a module
// description, or a value a test sets by pin name):
//   int, enum  a JSON integer within int32         -> 4 bytes
//   float      a JSON number                       -> 4 bytes, single precision
//   bool       true or false                       -> 1 byte
//   text       a JSON string (UTF-8)               -> 4 bytes per character
//   blob, midi an array of byte values 0..255, or a string of hexadecimal digit pairs
//              ("" is no bytes)                    -> the bytes
// Audio pins take buffers, not values.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace zr::host {

// Throws std::invalid_argument saying what was expected when `value` does not fit `datatype`.
std::vector<uint8_t> encodePinValue(int32_t datatype, nlohmann::json const& value);

// The bytes of a text value: each character as its 4 bytes, no terminator.
std::vector<uint8_t> textBytes(std::wstring const& text);

} // namespace zr::host
