// The wheel cipher as table look-ups.
//
// Each physical wheel is kept as a fixed permutation in index space plus a rotation offset;
// the wheel order as a rotation of positions. A step is then 20 (or 40) table look-ups and
// 20 offset additions, and the results equal those of the string algorithm exactly.
#pragma once

#include "Module.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace varkel::cipher {

class WheelEngine {
public:
    // An engine over the module's state, or nothing when the state is one the table form cannot
    // carry (a wheel that is not a permutation of the alphabet, a step beyond the alphabet,
    // a pass count out of range, counters out of their usual range).
    static std::optional<WheelEngine> fromModule(const ModuleState& m);

    // Passes per symbol for a pass counter that starts at `counterStart`; nothing when the
    // pass loop would overflow.
    std::optional<int> passesFrom(int16_t counterStart) const;

    // Enciphers or deciphers symbols in place with `passes` passes each. Stops before the first
    // symbol that is not in the alphabet and returns how many symbols it processed.
    size_t encipher(uint8_t* data, size_t count, int passes);
    size_t decipher(uint8_t* data, size_t count, int passes);
    // Moves the wheels `steps` times without enciphering anything.
    void advance(uint64_t steps);

    // Writes wheels, wheel order and master counters back into the module state.
    void store(ModuleState& m) const;

    bool inAlphabet(uint8_t symbol) const { return toIndex_[symbol] != kAbsent; }

private:
    static constexpr uint16_t kAbsent = 0x100;  // index 255 is a real binary index
    WheelEngine() = default;

    // Steps left until the next wheel order rotation (at least 1).
    uint64_t stepsToRotation() const;
    // Accounts for `steps` steps of the current run (at most stepsToRotation()).
    void finishRun(uint64_t steps);

    template <bool Decipher>
    size_t transform(uint8_t* data, size_t count, int passes);

    int n_ = 0;
    int32_t passCount_ = 0;
    std::array<uint16_t, 256> toIndex_{};
    std::array<uint8_t, 256> toSymbol_{};
    std::array<std::array<uint8_t, 512>, kWheelCount> forward_{};  // index -> index, doubled
    std::array<std::array<uint8_t, 256>, kWheelCount> inverse_{};
    std::array<uint8_t, 512> modulo_{};                             // j -> j mod n
    std::array<std::array<char, 256>, kWheelCount> symbols_{};     // the wheels as loaded
    std::array<int, kWheelCount> offset_{};                         // per physical wheel
    std::array<int, kWheelCount> delta_{};                          // per position
    int order_ = 0;  // position p holds physical wheel (p + order_) % 20
    std::array<int32_t, kMasterTableSize + 1> masterTable_{};
    int32_t masterIndex_ = 1;
    int32_t masterCounter_ = 0;
    int32_t masterThreshold_ = 0;
    int lastSymbol_ = -1;
};

}  // namespace varkel::cipher
