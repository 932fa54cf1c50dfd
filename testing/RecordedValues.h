#pragma once
// The values a module sent, decoded for tests. Each decoder throws std::runtime_error naming
// the pin when the record is no pin value or its size does not fit the type, so a wrongly
// sized value fails the test that reads it.

#include <cstdint>
#include <string>

#include "host/HostRecord.h"

namespace zr::host {

int32_t intOf(HostRecord const& record);      // exactly 4 bytes
float floatOf(HostRecord const& record);      // exactly 4 bytes
bool boolOf(HostRecord const& record);        // exactly 1 byte
std::wstring textOf(HostRecord const& record); // a multiple of 4 bytes, one character each

} // namespace zr::host
