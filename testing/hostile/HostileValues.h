#pragma once
// Numbers a host, a patch or a peer module may send that break naive arithmetic.

#include <cstdint>
#include <span>

#include "testing/hostile/Choices.h"

namespace zr::hostile {

// The float extremes, subnormals and signed zeros.
std::span<float const> finiteHostileFloats();
// Quiet, negative and signalling NaNs, and both infinities.
std::span<float const> nonFiniteFloats();
// Mode values and their neighbours, counts around 2..100, and the int32 extremes.
std::span<int32_t const> hostileInts();

// Mostly ordinary volts, often a hostile value; NaN and infinities only when allowed.
float chooseFloat(Choices& choices, bool allowNonFinite);
int32_t chooseInt(Choices& choices);

// Whether every whole 4-byte word of `bytes`, read as a float, is finite: a conservative test
// of whether a value can carry a non-finite number into a module.
bool onlyFiniteWords(std::span<uint8_t const> bytes);
// Whether `bytes` carry only finite numbers however a module reads them: every whole 4-byte
// word as a float, and, taken as a text of 32-bit characters, every number the shape readers'
// number reading finds from any character on ("inf", "nan" and numbers beyond the float
// range are not finite). Conservative: a value it passes cannot carry a non-finite float in.
bool holdsOnlyFiniteNumbers(std::span<uint8_t const> bytes);

} // namespace zr::hostile
