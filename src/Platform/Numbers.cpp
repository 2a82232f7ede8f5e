#include "Numbers.h"

#include "VbError.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace varkel::platform {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the leading number of `s` (after blanks), or 0 when there is none.
size_t numberLength(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) ++j;
            i = j;
        }
    }
    return i;
}

std::string_view skipBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

}  // namespace

double val(std::string_view text) {
    const std::string_view s = skipBlanks(text);
    const size_t n = numberLength(s);
    if (n == 0) return 0.0;
    std::string number(s.substr(0, n));
    for (auto& c : number)
        if (c == 'd' || c == 'D') c = 'e';
    return std::strtod(number.c_str(), nullptr);
}

bool isNumber(std::string_view text) {
    std::string_view s = skipBlanks(text);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return !s.empty() && numberLength(s) == s.size();
}

double roundHalfEven(double value) { return std::nearbyint(value); }

int16_t toInteger(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= std::numeric_limits<int16_t>::min() && r <= std::numeric_limits<int16_t>::max()))
        raise(kOverflow);
    return static_cast<int16_t>(r);
}

int32_t toLong(double value) {
    const double r = roundHalfEven(value);
    if (!(r >= std::numeric_limits<int32_t>::min() && r <= std::numeric_limits<int32_t>::max()))
        raise(kOverflow);
    return static_cast<int32_t>(r);
}

int16_t addInteger(int32_t a, int32_t b) {
    const int32_t sum = a + b;
    if (sum < std::numeric_limits<int16_t>::min() || sum > std::numeric_limits<int16_t>::max())
        raise(kOverflow);
    return static_cast<int16_t>(sum);
}

int32_t addLong(int64_t a, int64_t b) {
    const int64_t sum = a + b;
    if (sum < std::numeric_limits<int32_t>::min() || sum > std::numeric_limits<int32_t>::max())
        raise(kOverflow);
    return static_cast<int32_t>(sum);
}

}  // namespace varkel::platform
