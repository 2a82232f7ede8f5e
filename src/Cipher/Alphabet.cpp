#include "Alphabet.h"

namespace varkel::cipher {

const std::string& textAlphabet() {
    static const std::string alphabet = [] {
        std::string a = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789@#$%&*()-+=!:;,.? '<>\\|^~{}[]/";
        for (int b : {34, 13, 95, 96, 196, 203, 214, 220, 223, 228, 235, 246, 252, 248, 216, 197, 229, 191, 192, 193,
                      194, 195, 200, 201, 202, 204, 205, 206, 207, 209, 210, 211, 212, 213, 217, 218, 219, 221, 224,
                      225, 226, 227, 231, 232, 233, 234, 236, 237, 238, 239, 241, 242, 243, 244, 245, 249, 250, 251, 253})
            a += static_cast<char>(b);
        return a;
    }();
    return alphabet;
}

const std::string& binaryAlphabet() {
    static const std::string alphabet = [] {
        std::string a(kBinarySize, '\0');
        for (int b = 0; b < kBinarySize; ++b) a[b] = static_cast<char>(b);
        return a;
    }();
    return alphabet;
}

}  // namespace varkel::cipher
