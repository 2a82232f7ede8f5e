// Keys: generation of digit strings from the secure random source, the checks on the numbers
// the "Generate Keys" window takes, and the check on a key to be set.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::admin {

// Where random bytes come from; the default is the operating system's secure source.
using RandomBytes = std::function<void(uint8_t* data, size_t size)>;
RandomBytes secureRandomBytes();

// Draws key digits 1 to 9, each equally likely: bytes of 252 and above are thrown away so
// that the remaining 252 values split evenly over the nine digits.
class DigitSource {
public:
    explicit DigitSource(RandomBytes bytes = secureRandomBytes()) : bytes_(std::move(bytes)) {}
    char next();

private:
    RandomBytes bytes_;
    uint8_t buffer_[64] = {};
    size_t used_ = sizeof(buffer_);
};

inline constexpr const char* kMissingCountMessage = "Missing or invalid number to Generate.";
inline constexpr const char* kBadDigitsMessage = "Invalid number of digits.  Please select a valid number.";

// The first message that the two texts of "Generate Keys" earn, or none when they are valid.
std::optional<std::string> checkGenerateInput(std::string_view count, std::string_view digits);

// `count` keys of `digits` digits each; both are loop bounds as read, so 2.5 keys gives two.
std::vector<std::string> generateKeys(double count, double digits, DigitSource& source);

// A key that can be set: one or more decimal digits and nothing else.
bool isKeyString(std::string_view key);

}  // namespace varkel::admin
