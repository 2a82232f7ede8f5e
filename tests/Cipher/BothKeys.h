// Sets the cipher up with one key for binary and text mode, as the file tests need.
#pragma once

#include "Module.h"
#include "Operations.h"

#include <string>

namespace varkel::test {

inline void setUpBothKeys(cipher::ModuleState& m, const std::string& key) {
    std::string binary = key, text = key;  // the set-up may answer in its argument
    cipher::VrkGenBinaryKeys(m, binary);
    cipher::VrkGenTextKeys(m, text);
}

}  // namespace varkel::test
