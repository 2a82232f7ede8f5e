#include "KeyGeneration.h"

#include "Numbers.h"
#include "SecureRandom.h"

namespace varkel::admin {

RandomBytes secureRandomBytes() {
    return [](uint8_t* data, size_t size) { platform::secureRandomBytes(data, size); };
}

char DigitSource::next() {
    constexpr uint8_t kLimit = 252;  // 28 * 9: the largest multiple of nine that fits a byte
    for (;;) {
        if (used_ == sizeof(buffer_)) {
            bytes_(buffer_, sizeof(buffer_));
            used_ = 0;
        }
        const uint8_t byte = buffer_[used_++];
        if (byte < kLimit) return static_cast<char>('1' + byte % 9);
    }
}

std::optional<std::string> checkGenerateInput(std::string_view count, std::string_view digits) {
    if (count.empty() || platform::val(count) == 0) return kMissingCountMessage;
    const double d = platform::val(digits);
    if (d < 8 || d > 18) return kBadDigitsMessage;
    return std::nullopt;
}

std::vector<std::string> generateKeys(double count, double digits, DigitSource& source) {
    std::vector<std::string> keys;
    for (double i = 1; i <= count; ++i) {
        std::string key;
        for (double j = 1; j <= digits; ++j) key += source.next();
        keys.push_back(std::move(key));
    }
    return keys;
}

bool isKeyString(std::string_view key) {
    if (key.empty()) return false;
    for (char c : key)
        if (c < '0' || c > '9') return false;
    return true;
}

}  // namespace varkel::admin
