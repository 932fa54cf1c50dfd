#include "testing/RecordedValues.h"

#include <cstring>
#include <stdexcept>

namespace zr::host {
namespace {

void requireSize(HostRecord const& record, bool fits, char const* expected) {
    if (record.kind != HostCallKind::PinSet)
        throw std::runtime_error("record of pin " + std::to_string(record.pin) + " is not a pin value");
    if (!fits)
        throw std::runtime_error("value of pin " + std::to_string(record.pin) + " has " +
                                 std::to_string(record.bytes.size()) + " bytes, expected " + expected);
}

template <typename T>
T decodeFixed(HostRecord const& record, char const* expected) {
    requireSize(record, record.bytes.size() == sizeof(T), expected);
    T value;
    std::memcpy(&value, record.bytes.data(), sizeof(T));
    return value;
}

} // namespace

int32_t intOf(HostRecord const& record) { return decodeFixed<int32_t>(record, "4"); }

float floatOf(HostRecord const& record) { return decodeFixed<float>(record, "4"); }

bool boolOf(HostRecord const& record) { return decodeFixed<uint8_t>(record, "1") != 0; }

std::wstring textOf(HostRecord const& record) {
    requireSize(record, record.bytes.size() % sizeof(wchar_t) == 0, "a multiple of 4");
    std::wstring text(record.bytes.size() / sizeof(wchar_t), L'\0');
    if (!text.empty())
        std::memcpy(text.data(), record.bytes.data(), record.bytes.size());
    return text;
}

} // namespace zr::host
