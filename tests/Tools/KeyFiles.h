// The key files that a set-up leaves in the current folder until a shut-down.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace varkel::test {

inline std::vector<std::string> leftKeyFiles() {
    std::vector<std::string> left;
    for (const char* name : {"k1.bin", "k1.brs", "k1.bcr", "k1.txt", "k1.trs", "k1.tcr", "k2.bin", "k2.txt", "k3.bin",
                             "k3.txt", "k4.bin", "k4.txt", "k5.bin", "k5.txt", "k6.dat"})
        if (std::filesystem::exists(name)) left.push_back(name);
    return left;
}

}  // namespace varkel::test
