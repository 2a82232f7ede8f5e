// Key set-up from arbitrary key strings: either an error number, or wheels that each hold every
// symbol of the alphabet once.
#include "Alphabet.h"
#include "FuzzSupport.h"
#include "Module.h"
#include "Operations.h"

#include <algorithm>

using namespace varkel;

namespace {

void checkWheels(const std::string& file, const std::string& alphabet) {
    const std::string wheels = fuzz::readFile(file);
    const size_t n = alphabet.size();
    if (wheels.size() < 20 * n) fuzz::finding();
    std::string sortedAlphabet = alphabet;
    std::sort(sortedAlphabet.begin(), sortedAlphabet.end());
    for (size_t p = 0; p < 20; ++p) {
        std::string wheel = wheels.substr(p * n, n);
        std::sort(wheel.begin(), wheel.end());
        if (wheel != sortedAlphabet) fuzz::finding();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::enterScratchFolder();
    if (size == 0 || size > 64) return 0;
    const bool text = data[0] & 1;
    std::string key(reinterpret_cast<const char*>(data) + 1, size - 1);
    cipher::ModuleState m;
    try {
        text ? cipher::VrkGenTextKeys(m, key) : cipher::VrkGenBinaryKeys(m, key);
    } catch (const platform::VbError&) {
        return 0;
    }
    if (key.size() != 18) fuzz::finding();
    checkWheels(text ? "k1.txt" : "k1.bin", text ? cipher::textAlphabet() : cipher::binaryAlphabet());
    return 0;
}
