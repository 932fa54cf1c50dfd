#include "host/PinValueEncoding.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>

#include "host/DatatypeNames.h"
#include "host/TextConversion.h"

namespace zr::host {
namespace {

[[noreturn]] void mismatch(int32_t datatype, char const* expected, nlohmann::json const& value) {
    throw std::invalid_argument(std::string(datatypeName(datatype)) + " pin needs " + expected + ", got " +
                                value.dump());
}

template <typename T>
std::vector<uint8_t> bytesOf(T value) {
    std::vector<uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &value, sizeof(T));
    return bytes;
}

std::vector<uint8_t> encodeInt(int32_t datatype, nlohmann::json const& value) {
    if (!value.is_number_integer())
        mismatch(datatype, "an integer", value);
    bool const fits = value.is_number_unsigned()
                          ? value.get<uint64_t>() <= static_cast<uint64_t>(std::numeric_limits<int32_t>::max())
                          : value.get<int64_t>() >= std::numeric_limits<int32_t>::min() &&
                                value.get<int64_t>() <= std::numeric_limits<int32_t>::max();
    if (!fits)
        mismatch(datatype, "an integer within 32 bits", value);
    return bytesOf(static_cast<int32_t>(value.get<int64_t>()));
}

std::vector<uint8_t> encodeFloat(nlohmann::json const& value) {
    if (!value.is_number())
        mismatch(gmpi::MP_FLOAT32, "a number", value);
    double const number = value.get<double>();
    if (std::fabs(number) > std::numeric_limits<float>::max())
        mismatch(gmpi::MP_FLOAT32, "a number within single precision", value);
    return bytesOf(static_cast<float>(number));
}

std::vector<uint8_t> encodeText(nlohmann::json const& value) {
    if (!value.is_string())
        mismatch(gmpi::MP_STRING, "a string", value);
    return textBytes(wideFromUtf8(value.get_ref<std::string const&>()));
}

int hexDigitValue(char digit) {
    if (digit >= '0' && digit <= '9') return digit - '0';
    if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
    if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
    return -1;
}

std::vector<uint8_t> bytesFromHex(int32_t datatype, nlohmann::json const& value) {
    std::string const& hex = value.get_ref<std::string const&>();
    if (hex.size() % 2 != 0)
        mismatch(datatype, "an even number of hexadecimal digits", value);
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        int const high = hexDigitValue(hex[i]);
        int const low = hexDigitValue(hex[i + 1]);
        if (high < 0 || low < 0)
            mismatch(datatype, "hexadecimal digits", value);
        bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::vector<uint8_t> bytesFromArray(int32_t datatype, nlohmann::json const& value) {
    std::vector<uint8_t> bytes;
    for (nlohmann::json const& element : value) {
        if (!element.is_number_integer() || element.get<int64_t>() < 0 || element.get<int64_t>() > 255)
            mismatch(datatype, "byte values 0..255", value);
        bytes.push_back(static_cast<uint8_t>(element.get<int64_t>()));
    }
    return bytes;
}

std::vector<uint8_t> encodeBytes(int32_t datatype, nlohmann::json const& value) {
    if (value.is_string())
        return bytesFromHex(datatype, value);
    if (value.is_array())
        return bytesFromArray(datatype, value);
    mismatch(datatype, "an array of bytes or a hexadecimal string", value);
}

} // namespace

std::vector<uint8_t> encodePinValue(int32_t datatype, nlohmann::json const& value) {
    switch (datatype) {
    case gmpi::MP_INT32:
    case gmpi::MP_ENUM:
        return encodeInt(datatype, value);
    case gmpi::MP_FLOAT32:
        return encodeFloat(value);
    case gmpi::MP_BOOL:
        if (!value.is_boolean())
            mismatch(datatype, "true or false", value);
        return bytesOf<uint8_t>(value.get<bool>() ? 1 : 0);
    case gmpi::MP_STRING:
        return encodeText(value);
    case gmpi::MP_BLOB:
    case gmpi::MP_MIDI:
        return encodeBytes(datatype, value);
    default:
        throw std::invalid_argument(std::string(datatypeName(datatype)) + " pin takes no value");
    }
}

std::vector<uint8_t> textBytes(std::wstring const& text) {
    std::vector<uint8_t> bytes(text.size() * sizeof(wchar_t));
    if (!bytes.empty())
        std::memcpy(bytes.data(), text.data(), bytes.size());
    return bytes;
}

} // namespace zr::host
