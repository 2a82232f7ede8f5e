// A slow, literal reference of the wheel cipher and its key set-up, written straight from the
// algorithms with strings and searches, independent of the library's table engine.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varkel::reference {

std::string textAlphabet();
std::string binaryAlphabet();

// Everything a key set-up derives.
struct KeyMaterial {
    std::string key18;
    std::vector<int> schedule;              // entries 1..12320 (index 0 unused)
    std::array<std::string, 21> wheels;     // 1..20
    std::array<int, 21> direction{};
    std::array<int, 21> param{};
    std::array<int, 21> step{};
    std::array<int, 10> expansion{};        // k5 values
    std::array<int, 10> scramble{};         // k6.dat values
    std::string seed;
    std::array<int64_t, 201> master{};
};

KeyMaterial setUp(const std::string& key, bool text);
std::array<int64_t, 201> masterTable(const std::string& seed);

// The cipher state that a string or file operation starts from, stepped symbol by symbol.
struct Machine {
    std::string alphabet;
    std::array<std::string, 21> wheels;
    std::array<int, 21> direction{};
    std::array<int, 21> step{};
    int passes = 2;
    std::array<int64_t, 201> master{};
    int64_t masterIndex = 1;
    int64_t masterCounter = 0;
    int64_t threshold = 0;

    static Machine fromKey(const KeyMaterial& k, bool text);
    char encipher(char symbol, int passCount);
    char decipher(char symbol, int passCount);
    void shift();
};

std::string encipher(Machine& machine, const std::string& symbols);
std::string decipher(Machine& machine, const std::string& symbols);

}  // namespace varkel::reference
