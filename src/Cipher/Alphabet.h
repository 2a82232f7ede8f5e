// The two alphabets of the cipher.
#pragma once

#include <string>

namespace varkel::cipher {

inline constexpr int kTextSize = 151;
inline constexpr int kBinarySize = 256;

// The 151 symbols of the text alphabet, in their fixed order.
const std::string& textAlphabet();
// Bytes 0..255 in ascending order.
const std::string& binaryAlphabet();

}  // namespace varkel::cipher
