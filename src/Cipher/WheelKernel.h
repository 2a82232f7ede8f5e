// Kernels of the table engine for symbols grouped by wheel order (see WheelEngine.h).
#pragma once

#include "Module.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varkel::cipher {

inline constexpr int kLanes = 64;                           // symbols per offset vector
inline constexpr size_t kVectorBytes = kLanes * kWheelCount;  // offsets of one vector, all positions

// One masked access to a vector's lanes in memory: the lanes in `mask`, lane 0 being `shift`
// bytes from the start of the data (it can lie before it; only the lanes in the mask are
// accessed).
struct VectorSlice {
    int64_t shift;
    uint64_t mask;
};

// Whole cycles of the master table (each the 200 runs from entry 1 to entry 200), laid out by
// wheel order: run r belongs to group r % 20, whose positions hold the same wheels in every run
// of the group. Offsets are relative to the first cycle's start. Short cycles are taken several
// at a time, so that the groups fill whole batches of vectors; the schedule is still entered
// only at the runs of its first cycle.
struct CycleSchedule {
    // What the schedule was built from.
    int n = 0;
    std::array<int, kWheelCount> delta{};
    std::array<int32_t, kMasterTableSize + 1> masterTable{};

    struct Run {
        uint32_t start;   // first step, from the cycle's start
        uint32_t length;
        uint32_t lane;    // first lane in its group
    };
    uint64_t period = 0;                         // steps in all the cycles
    std::vector<Run> runs;                       // 200 per cycle, in step order
    std::array<uint32_t, kWheelCount> groupLanes{};
    std::array<uint32_t, kWheelCount> groupFirstVector{};
    uint32_t maxGroupLanes = 0;
    // Per group, per vector of 64 lanes, per position: the offset of that position's wheel at
    // that lane's step, relative to the wheel's offset at the cycle's start.
    std::vector<uint8_t> offsets;
    // Per wheel (numbered from the one at position 0 at the start): how far its offset moves
    // over the whole cycle.
    std::array<int, kWheelCount> drift{};
    // Per run, per wheel: its offset at the run's start.
    std::vector<std::array<uint8_t, kWheelCount>> runStart;
    // For work over the whole schedule: per vector (in the order of `offsets`) the slices that
    // load and store its lanes, `slicesPerVector` each (spare ones with an empty mask), from the
    // first cycle's start. None (0) when some vector would need more than kMaxSlices.
    static constexpr uint32_t kMaxSlices = 6;
    uint32_t slicesPerVector = 0;
    std::vector<VectorSlice> slices;

    // Cycles are taken together up to about this many steps.
    static constexpr uint64_t kTargetSteps = 32768;
    // Nothing sensible when one cycle is longer than `maxPeriod` steps.
    static bool build(CycleSchedule& s, int n, const std::array<int, kWheelCount>& delta,
                      const std::array<int32_t, kMasterTableSize + 1>& masterTable, uint64_t maxPeriod);
};

// Symbols of one run that sit side by side in memory and in consecutive lanes of their group.
struct LanePiece {
    uint8_t* data;    // alphabet indices, in place
    uint32_t lane;    // lane of data[0], counted from the job's first vector
    uint32_t length;  // at least 1
};

// One group of lanes through all passes.
struct GroupJob {
    // The scalar kernel works on a row of lanes gathered beforehand: alphabet indices, readable
    // and writable up to the next multiple of 64.
    uint8_t* lanes = nullptr;
    // The vector kernel reads and writes the symbols where they are: pieces in lane order that
    // cover lanes 0 .. count - 1 (lanes before the first piece belong to no symbol).
    const LanePiece* pieces = nullptr;
    size_t pieceCount = 0;
    // Instead of the pieces, when set: per vector from the first, `slicesPerVector` slices
    // relative to `origin`.
    const VectorSlice* slices = nullptr;
    uint32_t slicesPerVector = 0;
    uint8_t* origin = nullptr;
    size_t count = 0;  // lanes, from the first vector's first lane
    const uint8_t* offsets = nullptr;  // the group's first vector in CycleSchedule::offsets
    // Per position: enciphering, the wheel's forward table (tripled); deciphering, its inverse.
    std::array<const uint8_t*, kWheelCount> table{};
    std::array<uint8_t, kWheelCount> base{};  // per position: the wheel's offset at the cycle's start
    const uint8_t* modulo = nullptr;          // j -> j mod n for j < 3n
    int n = 0;
    int passes = 0;
};

void runGroupScalar(const GroupJob& job, bool decipher);
void runGroupAvx512(const GroupJob& job, bool decipher);

// Replaces each byte by its entry in `table`, stopping before the first byte whose entry is
// `stop`; returns how many bytes were replaced.
size_t mapBytesScalar(uint8_t* data, size_t count, const uint8_t* table, uint8_t stop);
size_t mapBytesAvx512(uint8_t* data, size_t count, const uint8_t* table, uint8_t stop);

// Text files. Moves the bytes whose `fate` is 2 to the front in order, drops the others and
// adds to `counted` how many of those had fate 1; returns how many were kept.
size_t keepBytesScalar(uint8_t* data, size_t count, const uint8_t* fate, int64_t& counted);
size_t keepBytesAvx512(uint8_t* data, size_t count, const uint8_t* fate, int64_t& counted);
// Copies `count` bytes to `out` (room for 2 * count + 64) with a line feed after every carriage
// return; returns the bytes written.
size_t expandLineEndsScalar(const uint8_t* in, size_t count, uint8_t* out);
size_t expandLineEndsAvx512(const uint8_t* in, size_t count, uint8_t* out);

// AVX-512 with the byte permutes (VBMI), byte compress and expand (VBMI2) and BMI2.
bool cpuHasAvx512Vbmi();

}  // namespace varkel::cipher
