// The wheel cipher as table look-ups.
//
// Each physical wheel is kept as a fixed permutation in index space plus a rotation offset;
// the wheel order as a rotation of positions. A step is then 20 (or 40) table look-ups and
// 20 offset additions, and the results equal those of the string algorithm exactly.
//
// Bulk work goes further. Which wheel sits at which position, and every wheel's offset, depend
// only on the key and the symbol's index, never on the data. Over one cycle of the master
// table (200 wheel-order rotations, a multiple of 20) the wheel order comes back to where it
// started and every wheel's offset moves by a fixed amount. So the symbols of one cycle are
// grouped by wheel order (runs r, r+20, r+40, ... share it), and for each group the offsets
// are precomputed relative to the cycle's start: a group is then many symbols through the same
// 20 tables, which the vector kernels do 64 at a time.
#pragma once

#include "Module.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>

namespace varkel::cipher {

// The kernel that bulk work runs on. Auto picks the fastest one the processor supports.
enum class EnginePath { Auto, Scalar, Avx512 };

// Forces a kernel (for tests and measurements); false, and no change, when this processor
// cannot run it.
bool setEnginePath(EnginePath path);
bool enginePathSupported(EnginePath path);
// The kernel that bulk work uses now (never Auto).
EnginePath activeEnginePath();
const char* enginePathName(EnginePath path);

// Text files, on the active kernel. Moves the bytes whose `fate` is 2 to the front in order,
// drops the others and adds to `counted` how many of those had fate 1; returns how many were
// kept.
size_t keepTextBytes(uint8_t* data, size_t count, const std::array<uint8_t, 256>& fate, int64_t& counted);
// Copies `count` bytes to `out` (room for 2 * count + 64) with a line feed after every carriage
// return; returns the bytes written.
size_t expandLineEnds(const uint8_t* in, size_t count, uint8_t* out);

struct CycleSchedule;

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
    // symbol that is not in the alphabet and returns how many symbols it processed; symbols
    // from there on are left as they were.
    size_t encipher(uint8_t* data, size_t count, int passes);
    size_t decipher(uint8_t* data, size_t count, int passes);
    // Expanded files. Enciphers every symbol with one pass, except those at the positions in
    // `full` (ascending), which get `passes`.
    size_t encipherMixed(uint8_t* data, size_t count, std::span<const size_t> full, int passes);
    // Deciphers the symbols at the positions in `full` (ascending) with `passes` passes each and
    // moves the wheels one step for every other position, leaving those bytes alone. Stops
    // before a symbol in `full` that is not in the alphabet; returns the positions gone through.
    size_t decipherSpread(uint8_t* data, size_t count, std::span<const size_t> full, int passes);
    // Moves the wheels `steps` times without enciphering anything.
    void advance(uint64_t steps);

    // Writes wheels, wheel order and master counters back into the module state.
    void store(ModuleState& m) const;

    bool inAlphabet(uint8_t symbol) const { return toIndex_[symbol] != kAbsent; }

    // Symbols below this many go step by step; from here on they are grouped by wheel order.
    static constexpr size_t kGroupedMinimum = 192;
    // Symbols from this many on are shared out between the processor's cores.
    static constexpr size_t kParallelMinimum = size_t{256} << 10;
    // Stretches per core that a shared input is cut into (each at least a quarter of the above).
    static constexpr size_t kStretchesPerCore = 4;

private:
    static constexpr uint16_t kAbsent = 0x100;  // index 255 is a real binary index
    static constexpr uint8_t kNoIndex = 0xFF;   // in toIndex8_, text mode only (151 symbols)
    static constexpr unsigned kMaxThreads = 8;
    WheelEngine() = default;

    // Steps left until the next wheel order rotation (at least 1).
    uint64_t stepsToRotation() const;
    // Accounts for `steps` steps of the current run (at most stepsToRotation()).
    void finishRun(uint64_t steps);
    // True when a run starts here with the threshold its master table entry gives.
    bool atRunStart() const;

    template <bool Decipher>
    size_t transform(uint8_t* data, size_t count, int passes);
    template <bool Decipher>
    size_t mixed(uint8_t* data, size_t count, std::span<const size_t> full, int passes);
    // Applies `passes` passes to the symbols at the positions `at` (ascending, below `steps`),
    // each at its step, and moves the wheels `steps` steps in all.
    template <bool Decipher>
    void sparse(uint8_t* data, std::span<const size_t> at, int passes, uint64_t steps);
    // The same from a run start, for positions within the schedule's reach (`here` steps in).
    template <bool Decipher>
    void sparseGrouped(uint8_t* data, std::span<const size_t> at, uint64_t here, int passes,
                       const CycleSchedule& schedule) const;
    // The work on alphabet indices (all in range), split between cores when it pays.
    template <bool Decipher>
    void transformIndices(uint8_t* c, size_t count, int passes, bool mayShare);
    // Step by step within runs.
    template <bool Decipher>
    void stepwise(uint8_t* c, size_t count, int passes);
    // `count` steps from a run start, at most to the end of the schedule (whole cycles).
    template <bool Decipher>
    void grouped(uint8_t* c, size_t count, int passes, const CycleSchedule& schedule);
    std::shared_ptr<const CycleSchedule> scheduleHere() const;
    // From a run start: the wheel order and every wheel's offset at the start of this cycle.
    void cycleStart(const CycleSchedule& schedule, int& order0, std::array<int, kWheelCount>& base) const;
    // From a run start to the end of the cycle (the start of the next one).
    void toCycleEnd(const CycleSchedule& schedule);
    // From a run start, `steps` steps on, short of the end of the schedule.
    void advanceWithin(const CycleSchedule& schedule, uint64_t steps);
    // Moves the state on by whole cycles, from a cycle start.
    void skipCycles(uint64_t cycles, const CycleSchedule& schedule);

    int n_ = 0;
    int32_t passCount_ = 0;
    std::array<uint16_t, 256> toIndex_{};
    std::array<uint8_t, 256> toIndex8_{};
    std::array<uint8_t, 256> toSymbol_{};
    std::array<std::array<uint8_t, 768>, kWheelCount> forward_{};  // index -> index, tripled
    std::array<std::array<uint8_t, 256>, kWheelCount> inverse_{};
    std::array<uint8_t, 768> modulo_{};                             // j -> j mod n
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
