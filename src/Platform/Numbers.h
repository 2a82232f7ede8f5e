// Numbers as the legacy runtime reads, rounds and bounds them.
#pragma once

#include <cstdint>
#include <string_view>

namespace varkel::platform {

// The leading number of a text: leading blanks skipped, then an optional sign, digits, an
// optional decimal point with digits and an optional exponent. No number reads as 0.
double val(std::string_view text);

// True when the whole text, apart from surrounding blanks, is one number.
bool isNumber(std::string_view text);

// Rounds to the nearest whole number, halves to the even neighbour.
double roundHalfEven(double value);

// Conversions to the 16-bit Integer and 32-bit Long types; out of range is error 6.
int16_t toInteger(double value);
int32_t toLong(double value);

// Checked arithmetic in the 16- and 32-bit types; overflow is error 6.
int16_t addInteger(int32_t a, int32_t b);
int32_t addLong(int64_t a, int64_t b);

}  // namespace varkel::platform
