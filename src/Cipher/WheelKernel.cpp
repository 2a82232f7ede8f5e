#include "WheelKernel.h"

#include <algorithm>
#include <immintrin.h>

namespace varkel::cipher {

bool CycleSchedule::build(CycleSchedule& s, int n, const std::array<int, kWheelCount>& delta,
                          const std::array<int32_t, kMasterTableSize + 1>& masterTable, uint64_t maxPeriod) {
    s.n = n;
    s.delta = delta;
    s.masterTable = masterTable;
    uint64_t cyclePeriod = 0;
    for (int index = 1; index <= kMasterTableSize; ++index) {
        // A run ends when the counter, starting from 0, reaches the threshold: at least one step.
        cyclePeriod += static_cast<uint64_t>(std::max<int32_t>(masterTable[index], 1));
        if (cyclePeriod > maxPeriod) return false;
    }
    const uint64_t cycles = std::clamp<uint64_t>(kTargetSteps / cyclePeriod, 1, 16);
    const int runCount = static_cast<int>(cycles) * kMasterTableSize;
    s.runs.assign(static_cast<size_t>(runCount), Run{});
    s.groupLanes.fill(0);
    uint64_t period = 0;
    for (int r = 0, index = 1; r < runCount; ++r) {
        const uint32_t length = static_cast<uint32_t>(std::max<int32_t>(masterTable[index], 1));
        const int group = r % kWheelCount;
        s.runs[r] = {static_cast<uint32_t>(period), length, s.groupLanes[group]};
        s.groupLanes[group] += length;
        period += length;
        index = index % kMasterTableSize + 1;
    }
    s.period = period;
    uint32_t vectors = 0;
    s.maxGroupLanes = 0;
    for (int g = 0; g < kWheelCount; ++g) {
        s.groupFirstVector[g] = vectors;
        vectors += (s.groupLanes[g] + kLanes - 1) / kLanes;
        s.maxGroupLanes = std::max(s.maxGroupLanes, s.groupLanes[g]);
    }
    s.offsets.assign(static_cast<size_t>(vectors) * kVectorBytes, 0);

    // Wheels are numbered by where they sit at the start: during run r, position p holds
    // wheel (p + r) % 20.
    std::array<int, kWheelCount> offset{};
    s.runStart.resize(static_cast<size_t>(runCount));
    for (int r = 0; r < runCount; ++r) {
        const int group = r % kWheelCount;
        for (int w = 0; w < kWheelCount; ++w) s.runStart[r][w] = static_cast<uint8_t>(offset[w]);
        for (uint32_t j = 0; j < s.runs[r].length; ++j) {
            const uint32_t lane = s.runs[r].lane + j;
            uint8_t* at = &s.offsets[(s.groupFirstVector[group] + lane / kLanes) * kVectorBytes + lane % kLanes];
            for (int p = 0; p < kWheelCount; ++p) {
                int& o = offset[(p + r) % kWheelCount];
                at[p * kLanes] = static_cast<uint8_t>(o);
                o += delta[p];
                if (o >= n) o -= n;
            }
        }
    }
    s.drift = offset;

    // The slices of every vector, when there are few enough per vector.
    std::vector<std::vector<VectorSlice>> perVector(vectors);
    for (int r = 0; r < runCount; ++r) {
        const Run& run = s.runs[r];
        const uint32_t firstVector = s.groupFirstVector[r % kWheelCount];
        for (uint32_t lane = run.lane; lane < run.lane + run.length;) {
            const uint32_t within = lane % kLanes;
            const uint32_t take = std::min<uint32_t>(run.lane + run.length - lane, kLanes - within);
            const uint64_t below = within + take == kLanes ? ~uint64_t{0} : (uint64_t{1} << (within + take)) - 1;
            const uint64_t mask = below & ~((uint64_t{1} << within) - 1);
            const int64_t shift = static_cast<int64_t>(run.start) + (lane - run.lane) - within;
            perVector[firstVector + lane / kLanes].push_back({shift, mask});
            lane += take;
        }
    }
    size_t most = 0;
    for (const auto& v : perVector) most = std::max(most, v.size());
    s.slicesPerVector = 0;
    s.slices.clear();
    if (most <= kMaxSlices) {
        s.slicesPerVector = static_cast<uint32_t>(most);
        s.slices.assign(static_cast<size_t>(vectors) * most, VectorSlice{0, 0});
        for (uint32_t v = 0; v < vectors; ++v) std::copy(perVector[v].begin(), perVector[v].end(), s.slices.begin() + v * most);
    }
    return true;
}

namespace {

// Eight lanes at a time, so that eight independent look-up chains overlap. With 256 symbols
// the arithmetic wraps by itself, so deciphering needs no modulo table there.
template <bool Decipher, bool Binary>
void scalarGroup(const GroupJob& job) {
    constexpr int kBlock = 8;
    const int twiceN = 2 * job.n;
    for (size_t first = 0; first < job.count; first += kBlock) {
        uint8_t* lanes = job.lanes + first;
        const uint8_t* offsets = job.offsets + first / kLanes * kVectorBytes + first % kLanes;
        unsigned c[kBlock];
#pragma GCC unroll 8
        for (int k = 0; k < kBlock; ++k) c[k] = lanes[k];
        for (int pass = 0; pass < job.passes; ++pass) {
            for (int step = 0; step < kWheelCount; ++step) {
                const int p = Decipher ? kWheelCount - 1 - step : step;
                const uint8_t* rel = offsets + p * kLanes;
                if constexpr (Decipher && Binary) {
                    const uint8_t* inverse = job.table[p];
                    const unsigned base = job.base[p];
#pragma GCC unroll 8
                    for (int k = 0; k < kBlock; ++k) c[k] = static_cast<uint8_t>(inverse[c[k]] - rel[k] - base);
                } else if constexpr (Decipher) {
                    const uint8_t* inverse = job.table[p];
                    const uint8_t* modulo = job.modulo + twiceN - job.base[p];
#pragma GCC unroll 8
                    for (int k = 0; k < kBlock; ++k) c[k] = modulo[inverse[c[k]] - rel[k]];
                } else {
                    const uint8_t* forward = job.table[p] + job.base[p];
#pragma GCC unroll 8
                    for (int k = 0; k < kBlock; ++k) c[k] = forward[c[k] + rel[k]];
                }
            }
        }
#pragma GCC unroll 8
        for (int k = 0; k < kBlock; ++k) lanes[k] = static_cast<uint8_t>(c[k]);
    }
}

#define VARKEL_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,avx512vbmi2,bmi2,popcnt")))

// Table of up to 256 entries in four registers (three for 151 entries), looked up by byte.
struct Table {
    __m512i t0, t1, t2, t3;
};

template <bool Text>
VARKEL_AVX512 inline __m512i lookUp(const Table& t, __m512i index) {
    const __m512i low = _mm512_permutex2var_epi8(t.t0, index, t.t1);
    const __m512i high = _mm512_permutex2var_epi8(t.t2, index, Text ? t.t2 : t.t3);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// The same look-up written out for the kernel's inner loop. Left to itself the compiler permutes
// into copies of the tables, about three register copies a look-up beside the permutes; here
// each permute overwrites an index, and one copy of the index is all it takes.
template <bool Text>
VARKEL_AVX512 inline __m512i lookUpInPlace(const Table& t, __m512i index) {
    __m512i high;
    __mmask64 top;
    asm("vpmovb2m %[index], %[top]\n\t"
        "vmovdqa64 %[index], %[high]\n\t"
        "vpermi2b %[t3], %[t2], %[high]\n\t"
        "vpermi2b %[t1], %[t0], %[index]\n\t"
        "vpblendmb %[high], %[index], %[index]%{%[top]%}"
        : [index] "+v"(index), [high] "=&v"(high), [top] "=&Yk"(top)
        : [t0] "v"(t.t0), [t1] "v"(t.t1), [t2] "v"(t.t2), [t3] "v"(Text ? t.t2 : t.t3));
    return index;
}

// Lanes lo .. hi - 1 of a vector (lo < hi <= 64).
inline __mmask64 laneMask(uint64_t lo, uint64_t hi) {
    const uint64_t below = hi == kLanes ? ~uint64_t{0} : (uint64_t{1} << hi) - 1;
    return below & ~((uint64_t{1} << lo) - 1);
}

// Where lane 0 of a vector would be for a piece whose lane 0 sits `shift` lanes later. Only the
// lanes of the piece are ever accessed through it, by masked loads and stores.
inline uint8_t* laneZero(uint8_t* data, int64_t shift) {
    return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(data) - static_cast<uintptr_t>(shift));
}

// One slice of a piece inside one vector.
struct Slice {
    uint8_t* at;
    __mmask64 mask;
};

// Loads the vectors of a batch from the pieces, in place: each piece's part of a vector is one
// masked load. `piece` moves on past the pieces that end inside the batch.
template <int K>
VARKEL_AVX512 inline int loadBatch(const GroupJob& job, uint64_t firstLane, size_t& piece, __m512i (&c)[K],
                                   Slice* slices, int (&sliceEnd)[K]) {
    int used = 0;
    for (int k = 0; k < K; ++k) {
        const uint64_t from = firstLane + static_cast<uint64_t>(k) * kLanes;
        const uint64_t to = from + kLanes;
        __m512i v = _mm512_setzero_si512();
        while (piece < job.pieceCount) {
            const LanePiece& p = job.pieces[piece];
            if (p.lane >= to) break;
            const uint64_t end = uint64_t{p.lane} + p.length;
            const __mmask64 mask = laneMask(std::max<uint64_t>(p.lane, from) - from, std::min(end, to) - from);
            uint8_t* at = laneZero(p.data, static_cast<int64_t>(p.lane) - static_cast<int64_t>(from));
            v = _mm512_mask_loadu_epi8(v, mask, at);
            slices[used++] = {at, mask};
            if (end > to) break;  // goes on in the next vector
            ++piece;
        }
        c[k] = v;
        sliceEnd[k] = used;
    }
    return used;
}

template <bool Decipher, bool Text, int K>
VARKEL_AVX512 void vectorBatch(uint64_t firstLane, const uint8_t* offsets, const GroupJob& job, size_t& piece) {
    const __m512i n = _mm512_set1_epi8(static_cast<char>(job.n));
    __m512i c[K];
    // A vector can hold up to 64 pieces of one symbol each, and one more that goes on.
    Slice slices[K * (kLanes + 1)];
    int sliceEnd[K] = {};
    // With the schedule's slices: a fixed number of masked loads per vector, no search.
    const uint32_t perVector = job.slicesPerVector;
    const VectorSlice* own = job.slices + firstLane / kLanes * perVector;
    auto at = [&job](const VectorSlice& slice) {
        return reinterpret_cast<uint8_t*>(reinterpret_cast<uintptr_t>(job.origin) + static_cast<uintptr_t>(slice.shift));
    };
    if (job.slices != nullptr) {
        for (int k = 0; k < K; ++k) {
            __m512i v = _mm512_setzero_si512();
            for (uint32_t i = 0; i < perVector; ++i) {
                const VectorSlice& slice = own[k * perVector + i];
                v = _mm512_mask_loadu_epi8(v, slice.mask, at(slice));
            }
            c[k] = v;
        }
    } else {
        loadBatch<K>(job, firstLane, piece, c, slices, sliceEnd);
    }
    for (int pass = 0; pass < job.passes; ++pass) {
        for (int step = 0; step < kWheelCount; ++step) {
            const int p = Decipher ? kWheelCount - 1 - step : step;
            Table t;
            if constexpr (Decipher) {
                // Prepared by vectorGroup: the inverse with the base offset taken off.
                const uint8_t* inverse = job.table[p];
                t.t0 = _mm512_load_si512(inverse);
                t.t1 = _mm512_load_si512(inverse + 64);
                t.t2 = _mm512_load_si512(inverse + 128);
                t.t3 = Text ? t.t2 : _mm512_load_si512(inverse + 192);
            } else {
                // The forward table read from the base offset on (the table is tripled).
                const uint8_t* forward = job.table[p] + job.base[p];
                t.t0 = _mm512_loadu_si512(forward);
                t.t1 = _mm512_loadu_si512(forward + 64);
                t.t2 = _mm512_loadu_si512(forward + 128);
                t.t3 = Text ? t.t2 : _mm512_loadu_si512(forward + 192);
            }
            for (int k = 0; k < K; ++k) {
                const __m512i rel = _mm512_loadu_si512(offsets + k * kVectorBytes + p * kLanes);
                if constexpr (Decipher) {
                    const __m512i v = lookUpInPlace<Text>(t, c[k]);
                    c[k] = _mm512_sub_epi8(v, rel);
                    if constexpr (Text) c[k] = _mm512_mask_add_epi8(c[k], _mm512_cmplt_epu8_mask(v, rel), c[k], n);
                } else {
                    __m512i index = _mm512_add_epi8(c[k], rel);
                    if constexpr (Text) {
                        // c + rel can pass 255; the saturated sum still tells whether it reached n.
                        const __mmask64 wrap = _mm512_cmpge_epu8_mask(_mm512_adds_epu8(c[k], rel), n);
                        index = _mm512_mask_sub_epi8(index, wrap, index, n);
                    }
                    c[k] = lookUpInPlace<Text>(t, index);
                }
            }
        }
    }
    if (job.slices != nullptr) {
        for (int k = 0; k < K; ++k) {
            for (uint32_t i = 0; i < perVector; ++i) {
                const VectorSlice& slice = own[k * perVector + i];
                _mm512_mask_storeu_epi8(at(slice), slice.mask, c[k]);
            }
        }
        return;
    }
    for (int k = 0, s = 0; k < K; ++k) {
        for (; s < sliceEnd[k]; ++s) _mm512_mask_storeu_epi8(slices[s].at, slices[s].mask, c[k]);
    }
}

template <bool Decipher, bool Text>
VARKEL_AVX512 void vectorGroup(const GroupJob& given) {
    // Deciphering looks up (inverse[c] - base) mod n: the base offsets are taken off the inverse
    // tables once here rather than at every step of every batch.
    alignas(64) uint8_t prepared[Decipher ? kWheelCount : 1][256];
    GroupJob job = given;
    if constexpr (Decipher) {
        const __m512i n = _mm512_set1_epi8(static_cast<char>(job.n));
        for (int p = 0; p < kWheelCount; ++p) {
            const __m512i base = _mm512_set1_epi8(static_cast<char>(job.base[p]));
            for (int i = 0; i < (Text ? 3 : 4); ++i) {
                const __m512i raw = _mm512_loadu_si512(given.table[p] + i * 64);
                __m512i v = _mm512_sub_epi8(raw, base);
                if constexpr (Text) v = _mm512_mask_add_epi8(v, _mm512_cmplt_epu8_mask(raw, base), v, n);
                _mm512_store_si512(prepared[p] + i * 64, v);
            }
            job.table[p] = prepared[p];
        }
    }
    constexpr size_t kMaxBatch = 8;
    const size_t vectors = (job.count + kLanes - 1) / kLanes;
    // Batches of even size: a batch of one or two vectors waits on its look-up chains.
    const size_t batches = (vectors + kMaxBatch - 1) / kMaxBatch;
    const size_t batch = batches == 0 ? 1 : (vectors + batches - 1) / batches;
    size_t piece = 0;
    for (size_t v = 0; v < vectors; v += batch) {
        const uint64_t lane = v * kLanes;
        const uint8_t* offsets = job.offsets + v * kVectorBytes;
        switch (std::min(batch, vectors - v)) {
            case 1: vectorBatch<Decipher, Text, 1>(lane, offsets, job, piece); break;
            case 2: vectorBatch<Decipher, Text, 2>(lane, offsets, job, piece); break;
            case 3: vectorBatch<Decipher, Text, 3>(lane, offsets, job, piece); break;
            case 4: vectorBatch<Decipher, Text, 4>(lane, offsets, job, piece); break;
            case 5: vectorBatch<Decipher, Text, 5>(lane, offsets, job, piece); break;
            case 6: vectorBatch<Decipher, Text, 6>(lane, offsets, job, piece); break;
            case 7: vectorBatch<Decipher, Text, 7>(lane, offsets, job, piece); break;
            default: vectorBatch<Decipher, Text, 8>(lane, offsets, job, piece); break;
        }
    }
}

}  // namespace

void runGroupScalar(const GroupJob& job, bool decipher) {
    const bool binary = job.n == 256;
    if (decipher) {
        binary ? scalarGroup<true, true>(job) : scalarGroup<true, false>(job);
    } else {
        scalarGroup<false, false>(job);
    }
}

void runGroupAvx512(const GroupJob& job, bool decipher) {
    const bool text = job.n != 256;
    if (decipher) {
        text ? vectorGroup<true, true>(job) : vectorGroup<true, false>(job);
    } else {
        text ? vectorGroup<false, true>(job) : vectorGroup<false, false>(job);
    }
}

size_t mapBytesScalar(uint8_t* data, size_t count, const uint8_t* table, uint8_t stop) {
    for (size_t i = 0; i < count; ++i) {
        const uint8_t v = table[data[i]];
        if (v == stop) return i;
        data[i] = v;
    }
    return count;
}

VARKEL_AVX512 size_t mapBytesAvx512(uint8_t* data, size_t count, const uint8_t* table, uint8_t stop) {
    const Table t{_mm512_loadu_si512(table), _mm512_loadu_si512(table + 64), _mm512_loadu_si512(table + 128),
                  _mm512_loadu_si512(table + 192)};
    const __m512i stops = _mm512_set1_epi8(static_cast<char>(stop));
    for (size_t i = 0; i < count; i += kLanes) {
        const size_t left = count - i;
        const __mmask64 live = left >= kLanes ? ~__mmask64{0} : (__mmask64{1} << left) - 1;
        const __m512i mapped = lookUp<false>(t, _mm512_maskz_loadu_epi8(live, data + i));
        const __mmask64 stopped = _mm512_cmpeq_epi8_mask(mapped, stops) & live;
        if (stopped != 0) {
            const int k = __builtin_ctzll(stopped);
            _mm512_mask_storeu_epi8(data + i, (__mmask64{1} << k) - 1, mapped);
            return i + static_cast<size_t>(k);
        }
        _mm512_mask_storeu_epi8(data + i, live, mapped);
    }
    return count;
}

size_t keepBytesScalar(uint8_t* data, size_t count, const uint8_t* fate, int64_t& counted) {
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = data[i];
        const uint8_t f = fate[c];
        data[kept] = c;
        kept += f >> 1;
        counted += f & 1;
    }
    return kept;
}

namespace {

// Lanes 0 .. n - 1 (n <= 64).
inline __mmask64 firstLanes(size_t n) { return n >= kLanes ? ~__mmask64{0} : (__mmask64{1} << n) - 1; }

}  // namespace

VARKEL_AVX512 size_t keepBytesAvx512(uint8_t* data, size_t count, const uint8_t* fate, int64_t& counted) {
    const Table t{_mm512_loadu_si512(fate), _mm512_loadu_si512(fate + 64), _mm512_loadu_si512(fate + 128),
                  _mm512_loadu_si512(fate + 192)};
    const __m512i keep = _mm512_set1_epi8(2);
    const __m512i count1 = _mm512_set1_epi8(1);
    size_t kept = 0;
    for (size_t i = 0; i < count; i += kLanes) {
        const __mmask64 live = firstLanes(count - i);
        const __m512i v = _mm512_maskz_loadu_epi8(live, data + i);
        const __m512i f = lookUp<false>(t, v);
        const __mmask64 keepers = _mm512_cmpeq_epi8_mask(f, keep) & live;
        counted += __builtin_popcountll(_mm512_cmpeq_epi8_mask(f, count1) & live);
        // The kept bytes land at or before where they were read: nothing unread is overwritten.
        const auto n = static_cast<size_t>(__builtin_popcountll(keepers));
        _mm512_mask_storeu_epi8(data + kept, firstLanes(n), _mm512_maskz_compress_epi8(keepers, v));
        kept += n;
    }
    return kept;
}

size_t expandLineEndsScalar(const uint8_t* in, size_t count, uint8_t* out) {
    size_t size = 0;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t c = in[i];
        out[size++] = c;
        if (c == '\r') out[size++] = '\n';
    }
    return size;
}

VARKEL_AVX512 size_t expandLineEndsAvx512(const uint8_t* in, size_t count, uint8_t* out) {
    const __m512i cr = _mm512_set1_epi8('\r');
    const __m512i lf = _mm512_set1_epi8('\n');
    constexpr uint64_t kEven = 0x5555555555555555;
    size_t size = 0;
    // 32 bytes in, at most 64 out: byte j and, after a carriage return, a line feed take bits
    // 2j and 2j + 1 of `slots`; squeezing out the unused odd bits gives the output's layout.
    for (size_t i = 0; i < count; i += kLanes / 2) {
        const size_t n = std::min<size_t>(kLanes / 2, count - i);
        const __mmask64 live = firstLanes(n);
        const __m512i v = _mm512_maskz_loadu_epi8(live, in + i);
        const uint64_t returns = _mm512_cmpeq_epi8_mask(v, cr) & live;
        const uint64_t slots = (kEven & firstLanes(2 * n)) | _pdep_u64(returns, ~kEven);
        const uint64_t bytes = _pext_u64(kEven, slots);
        const auto produced = static_cast<size_t>(__builtin_popcountll(slots));
        const __m512i spread = _mm512_maskz_expand_epi8(bytes, v);
        const __m512i lines = _mm512_mask_mov_epi8(spread, ~bytes & firstLanes(produced), lf);
        _mm512_mask_storeu_epi8(out + size, firstLanes(produced), lines);
        size += produced;
    }
    return size;
}

bool cpuHasAvx512Vbmi() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vbmi") && __builtin_cpu_supports("avx512vbmi2") &&
           __builtin_cpu_supports("bmi2") && __builtin_cpu_supports("popcnt");
}

}  // namespace varkel::cipher
