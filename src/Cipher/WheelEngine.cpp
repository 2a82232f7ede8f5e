#include "WheelEngine.h"

#include "Alphabet.h"

#include "WheelKernel.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <mutex>
#include <thread>
#include <vector>

namespace varkel::cipher {

namespace {

std::atomic<EnginePath> forcedPath{EnginePath::Auto};

EnginePath bestPath() {
    static const EnginePath best = cpuHasAvx512Vbmi() ? EnginePath::Avx512 : EnginePath::Scalar;
    return best;
}

}  // namespace

bool enginePathSupported(EnginePath path) {
    return path != EnginePath::Avx512 || cpuHasAvx512Vbmi();
}

bool setEnginePath(EnginePath path) {
    if (!enginePathSupported(path)) return false;
    forcedPath = path;
    return true;
}

EnginePath activeEnginePath() {
    const EnginePath path = forcedPath;
    return path == EnginePath::Auto ? bestPath() : path;
}

const char* enginePathName(EnginePath path) {
    switch (path) {
        case EnginePath::Auto: return "Auto";
        case EnginePath::Scalar: return "Scalar";
        case EnginePath::Avx512: return "Avx512";
    }
    return "?";
}

size_t keepTextBytes(uint8_t* data, size_t count, const std::array<uint8_t, 256>& fate, int64_t& counted) {
    return activeEnginePath() == EnginePath::Avx512 ? keepBytesAvx512(data, count, fate.data(), counted)
                                                    : keepBytesScalar(data, count, fate.data(), counted);
}

size_t expandLineEnds(const uint8_t* in, size_t count, uint8_t* out) {
    return activeEnginePath() == EnginePath::Avx512 ? expandLineEndsAvx512(in, count, out)
                                                    : expandLineEndsScalar(in, count, out);
}

std::optional<WheelEngine> WheelEngine::fromModule(const ModuleState& m) {
    const std::string& alphabet = m.ActiveAlphabet;
    const int n = static_cast<int>(alphabet.size());
    if (!(alphabet == textAlphabet() || alphabet == binaryAlphabet()) || m.AlphabetSize != n) return std::nullopt;
    if (m.PassCount < 1 || m.PassCount > std::numeric_limits<int16_t>::max()) return std::nullopt;
    if (m.MasterIndex < 1 || m.MasterIndex > kMasterTableSize || m.MasterCounter < 0) return std::nullopt;

    WheelEngine e;
    e.n_ = n;
    e.passCount_ = m.PassCount;
    e.toIndex_.fill(kAbsent);
    e.toIndex8_.fill(kNoIndex);
    for (int i = 0; i < n; ++i) {
        const auto symbol = static_cast<uint8_t>(alphabet[i]);
        e.toIndex_[symbol] = static_cast<uint16_t>(i);
        e.toIndex8_[symbol] = static_cast<uint8_t>(i);
        e.toSymbol_[i] = symbol;
    }
    for (int q = 0; q < kWheelCount; ++q) {
        const std::string& wheel = m.Wheels[q + 1];
        if (static_cast<int>(wheel.size()) != n) return std::nullopt;
        std::array<bool, 256> seen{};
        for (int j = 0; j < n; ++j) {
            const uint16_t index = e.toIndex_[static_cast<uint8_t>(wheel[j])];
            if (index == kAbsent || seen[index]) return std::nullopt;
            seen[index] = true;
            e.forward_[q][j] = e.forward_[q][j + n] = e.forward_[q][j + 2 * n] = static_cast<uint8_t>(index);
            e.inverse_[q][index] = static_cast<uint8_t>(j);
            e.symbols_[q][j] = wheel[j];
        }
    }
    for (int p = 0; p < kWheelCount; ++p) {
        const int s = m.WheelStep[p + 1];
        if (s < 1 || s > n) return std::nullopt;
        // Rotating left by s moves the read position forward by s; right moves it back.
        e.delta_[p] = m.WheelDirection[p + 1] != 0 ? s % n : (n - s) % n;
    }
    for (int j = 0; j < 3 * n; ++j) e.modulo_[j] = static_cast<uint8_t>(j % n);
    e.masterTable_ = m.MasterTable;
    e.masterIndex_ = m.MasterIndex;
    e.masterCounter_ = m.MasterCounter;
    e.masterThreshold_ = m.MasterThreshold;
    return e;
}

std::optional<int> WheelEngine::passesFrom(int16_t counterStart) const {
    if (counterStart >= passCount_) return std::nullopt;
    return passCount_ - counterStart;
}

uint64_t WheelEngine::stepsToRotation() const {
    const int64_t left = static_cast<int64_t>(masterThreshold_) - masterCounter_;
    return left > 1 ? static_cast<uint64_t>(left) : 1;
}

void WheelEngine::finishRun(uint64_t steps) {
    if (steps < stepsToRotation()) {
        masterCounter_ += static_cast<int32_t>(steps);
        return;
    }
    masterCounter_ = 0;
    order_ = (order_ + 1) % kWheelCount;
    masterIndex_ = masterIndex_ % kMasterTableSize + 1;
    masterThreshold_ = masterTable_[masterIndex_];
}

template <bool Decipher>
size_t WheelEngine::transform(uint8_t* data, size_t count, int passes) {
    if (count == 0) return 0;
    const bool vector = activeEnginePath() == EnginePath::Avx512;
    // Binary symbols are their own indices; text symbols are mapped there and back.
    const bool text = n_ != 256;
    const size_t valid = !text ? count
                         : vector ? mapBytesAvx512(data, count, toIndex8_.data(), kNoIndex)
                                  : mapBytesScalar(data, count, toIndex8_.data(), kNoIndex);
    transformIndices<Decipher>(data, valid, passes, true);
    if (text) {
        // No alphabet symbol is byte 0 in text mode, so nothing stops the way back.
        vector ? mapBytesAvx512(data, valid, toSymbol_.data(), 0) : mapBytesScalar(data, valid, toSymbol_.data(), 0);
    }
    if (valid > 0) lastSymbol_ = data[valid - 1];
    return valid;
}

template <bool Decipher>
void WheelEngine::transformIndices(uint8_t* c, size_t count, int passes, bool mayShare) {
    const unsigned cores = mayShare && count >= kParallelMinimum
                               ? std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads)
                               : 1u;
    if (cores > 1) {
        // The input is cut into stretches, each with the state at its start, and the cores take
        // them one after another: a core that other work slows down takes fewer.
        const size_t stretches = std::min<size_t>(kStretchesPerCore * cores, count / (kParallelMinimum / 4));
        const size_t share = count / stretches;
        std::vector<WheelEngine> parts;
        parts.reserve(stretches);
        parts.push_back(*this);
        for (size_t i = 1; i < stretches; ++i) {
            parts.push_back(parts.back());
            parts.back().advance(share);
        }
        std::atomic<size_t> next{0};
        auto work = [&parts, &next, c, share, count, stretches, passes] {
            for (size_t i; (i = next++) < stretches;) {
                const size_t from = i * share;
                const size_t size = i + 1 < stretches ? share : count - from;
                parts[i].transformIndices<Decipher>(c + from, size, passes, false);
            }
        };
        std::vector<std::thread> threads;
        for (unsigned i = 1; i < cores; ++i) threads.emplace_back(work);
        work();
        for (auto& t : threads) t.join();
        const WheelEngine& last = parts.back();
        offset_ = last.offset_;
        order_ = last.order_;
        masterIndex_ = last.masterIndex_;
        masterCounter_ = last.masterCounter_;
        masterThreshold_ = last.masterThreshold_;
        return;
    }

    std::shared_ptr<const CycleSchedule> schedule;
    bool scheduleFailed = false;
    size_t done = 0;
    while (done < count) {
        const size_t left = count - done;
        if (left >= kGroupedMinimum && !scheduleFailed && atRunStart()) {
            if (!schedule) schedule = scheduleHere();
            if (schedule) {
                // From here to the end of the cycle at most.
                const uint64_t toEnd = schedule->period - schedule->runs[masterIndex_ - 1].start;
                const size_t size = static_cast<size_t>(std::min<uint64_t>(toEnd, left));
                grouped<Decipher>(c + done, size, passes, *schedule);
                done += size;
                continue;
            }
            scheduleFailed = true;
        }
        // Up to the next run start while grouping may still pay; otherwise everything left.
        const size_t size = left >= kGroupedMinimum && !scheduleFailed
                                ? static_cast<size_t>(std::min<uint64_t>(stepsToRotation(), left))
                                : left;
        stepwise<Decipher>(c + done, size, passes);
        done += size;
    }
}

template <bool Decipher>
void WheelEngine::stepwise(uint8_t* data, size_t count, int passes) {
    const int n = n_;
    size_t done = 0;
    while (done < count) {
        const uint64_t run = std::min<uint64_t>(stepsToRotation(), count - done);
        // Within a run every position keeps its wheel.
        const uint8_t* table[kWheelCount];
        int offset[kWheelCount];
        for (int p = 0; p < kWheelCount; ++p) {
            const int q = (p + order_) % kWheelCount;
            table[p] = Decipher ? inverse_[q].data() : forward_[q].data();
            offset[p] = offset_[q];
        }
        for (uint64_t k = 0; k < run; ++k) {
            unsigned c = data[done + k];
            for (int pass = 0; pass < passes; ++pass) {
                if constexpr (Decipher) {
                    for (int p = kWheelCount - 1; p >= 0; --p) c = modulo_[table[p][c] + n - offset[p]];
                } else {
                    for (int p = 0; p < kWheelCount; ++p) c = table[p][c + offset[p]];
                }
            }
            data[done + k] = static_cast<uint8_t>(c);
            for (int p = 0; p < kWheelCount; ++p) {
                offset[p] += delta_[p];
                if (offset[p] >= n) offset[p] -= n;
            }
        }
        for (int p = 0; p < kWheelCount; ++p) offset_[(p + order_) % kWheelCount] = offset[p];
        done += run;
        finishRun(run);
    }
}

template <bool Decipher>
void WheelEngine::grouped(uint8_t* c, size_t count, int passes, const CycleSchedule& s) {
    const int first = masterIndex_ - 1;  // the run that starts here, in the first cycle
    const int runCount = static_cast<int>(s.runs.size());
    const uint64_t begin = s.runs[first].start;
    const uint64_t end = begin + count;
    int order0;
    std::array<int, kWheelCount> base;
    cycleStart(s, order0, base);

    // The vector kernel reads each group's symbols where they are, run by run; the scalar one
    // gets them gathered into one row of lanes (whole vectors) and scattered back afterwards.
    // Lanes that belong to no symbol hold alphabet indices too, so they are harmless.
    const bool vector = activeEnginePath() == EnginePath::Avx512;
    thread_local std::vector<uint8_t> rowStore;
    thread_local std::vector<LanePiece> pieceStore;
    uint8_t* row = nullptr;
    if (!vector) {
        const size_t rowSize = (s.maxGroupLanes + kLanes - 1) / kLanes * kLanes;
        if (rowStore.size() < rowSize) rowStore.assign(rowSize, 0);
        row = rowStore.data();
    }
    // A group holds every 20th run.
    if (pieceStore.size() < static_cast<size_t>(runCount / kWheelCount + 1)) pieceStore.resize(runCount / kWheelCount + 1);
    LanePiece* pieces = pieceStore.data();
    GroupJob job;
    const bool whole = vector && first == 0 && end == s.period && s.slicesPerVector > 0;
    job.modulo = modulo_.data();
    job.n = n_;
    job.passes = passes;
    for (int turn = 0; turn < kWheelCount; ++turn) {
        // Groups 0, 10, 1, 11, ...: runs of consecutive groups lie side by side, and a group's
        // loads right after the neighbouring group's stores would wait for those to finish.
        const int g = turn % 2 * (kWheelCount / 2) + turn / 2;
        const int from = first + (g - first % kWheelCount + kWheelCount) % kWheelCount;
        if (from >= runCount || s.runs[from].start >= end) continue;
        const uint32_t firstVector = s.runs[from].lane / kLanes;
        const uint32_t rowStart = firstVector * kLanes;
        for (int p = 0; p < kWheelCount; ++p) {
            const int q = (p + order0 + g) % kWheelCount;
            job.table[p] = Decipher ? inverse_[q].data() : forward_[q].data();
            job.base[p] = static_cast<uint8_t>(base[q]);
        }
        job.offsets = s.offsets.data() + static_cast<size_t>(s.groupFirstVector[g] + firstVector) * kVectorBytes;
        if (whole) {
            // Over the whole schedule the vector kernel takes the slices worked out beforehand.
            job.count = s.groupLanes[g];
            job.slices = s.slices.data() + static_cast<size_t>(s.groupFirstVector[g]) * s.slicesPerVector;
            job.slicesPerVector = s.slicesPerVector;
            job.origin = c;
            runGroupAvx512(job, Decipher);
            continue;
        }
        size_t pieceCount = 0;
        for (int r = from; r < runCount && s.runs[r].start < end; r += kWheelCount) {
            const auto& run = s.runs[r];
            const auto size = static_cast<uint32_t>(std::min<uint64_t>(run.length, end - run.start));
            pieces[pieceCount++] = {c + (run.start - begin), run.lane - rowStart, size};
        }
        const LanePiece& last = pieces[pieceCount - 1];
        job.count = last.lane + last.length;
        if (vector) {
            job.pieces = pieces;
            job.pieceCount = pieceCount;
            runGroupAvx512(job, Decipher);
            continue;
        }
        for (size_t i = 0; i < pieceCount; ++i) std::memcpy(row + pieces[i].lane, pieces[i].data, pieces[i].length);
        job.lanes = row;
        runGroupScalar(job, Decipher);
        for (size_t i = 0; i < pieceCount; ++i) std::memcpy(pieces[i].data, row + pieces[i].lane, pieces[i].length);
    }
    if (end == s.period) {
        toCycleEnd(s);
    } else {
        advance(count);
    }
}

bool WheelEngine::atRunStart() const {
    return masterCounter_ == 0 && masterThreshold_ == masterTable_[masterIndex_];
}

void WheelEngine::cycleStart(const CycleSchedule& s, int& order0, std::array<int, kWheelCount>& base) const {
    const int run = masterIndex_ - 1;
    order0 = (order_ - run % kWheelCount + kWheelCount) % kWheelCount;
    for (int q = 0; q < kWheelCount; ++q) {
        const int w = (q - order0 + kWheelCount) % kWheelCount;
        base[q] = (offset_[q] - s.runStart[run][w] + n_) % n_;
    }
}

void WheelEngine::toCycleEnd(const CycleSchedule& s) {
    int order0;
    std::array<int, kWheelCount> base;
    cycleStart(s, order0, base);
    for (int q = 0; q < kWheelCount; ++q) offset_[q] = (base[q] + s.drift[(q - order0 + kWheelCount) % kWheelCount]) % n_;
    // Every cycle of 200 rotations turns the order ten times round.
    order_ = order0;
    masterIndex_ = 1;
    masterCounter_ = 0;
    masterThreshold_ = masterTable_[1];
}

void WheelEngine::advanceWithin(const CycleSchedule& s, uint64_t steps) {
    int order0;
    std::array<int, kWheelCount> base;
    cycleStart(s, order0, base);
    // The run that holds the step reached, and how far into it.
    const uint64_t t = s.runs[masterIndex_ - 1].start + steps;
    const auto holding = std::upper_bound(s.runs.begin(), s.runs.end(), t,
                                          [](uint64_t step, const CycleSchedule::Run& run) { return step < run.start; });
    const int r = static_cast<int>(holding - s.runs.begin()) - 1;
    const uint64_t into = t - s.runs[r].start;
    for (int q = 0; q < kWheelCount; ++q) {
        // Wheel w (numbered as at the cycle's start) sits at position (w - r) mod 20 during run r.
        const int w = (q - order0 + kWheelCount) % kWheelCount;
        const int p = ((w - r) % kWheelCount + kWheelCount) % kWheelCount;
        offset_[q] = static_cast<int>((static_cast<uint64_t>(base[q]) + s.runStart[r][w] +
                                       into % static_cast<uint64_t>(n_) * static_cast<uint64_t>(delta_[p])) %
                                      static_cast<uint64_t>(n_));
    }
    order_ = (order0 + r) % kWheelCount;
    masterIndex_ = r % kMasterTableSize + 1;
    masterCounter_ = static_cast<int32_t>(into);
    masterThreshold_ = masterTable_[masterIndex_];
}

void WheelEngine::skipCycles(uint64_t cycles, const CycleSchedule& s) {
    const uint64_t times = cycles % static_cast<uint64_t>(n_);
    for (int w = 0; w < kWheelCount; ++w) {
        int& offset = offset_[(w + order_) % kWheelCount];
        offset = static_cast<int>((static_cast<uint64_t>(offset) + times * static_cast<uint64_t>(s.drift[w])) % n_);
    }
}

std::shared_ptr<const CycleSchedule> WheelEngine::scheduleHere() const {
    // A schedule depends on the key only, so operations one after another under one key, and
    // the cores of one operation, share it.
    static std::mutex lock;
    static std::vector<std::shared_ptr<const CycleSchedule>> cache;
    constexpr size_t kCacheSize = 4;
    constexpr uint64_t kMaxPeriod = 1 << 16;
    std::lock_guard guard(lock);
    for (const auto& s : cache) {
        if (s->n == n_ && s->delta == delta_ && s->masterTable == masterTable_) return s;
    }
    auto s = std::make_shared<CycleSchedule>();
    if (!CycleSchedule::build(*s, n_, delta_, masterTable_, kMaxPeriod)) return nullptr;
    if (cache.size() == kCacheSize) cache.erase(cache.begin());
    cache.push_back(s);
    return s;
}

size_t WheelEngine::encipher(uint8_t* data, size_t count, int passes) { return transform<false>(data, count, passes); }
size_t WheelEngine::decipher(uint8_t* data, size_t count, int passes) { return transform<true>(data, count, passes); }

template <bool Decipher>
void WheelEngine::sparse(uint8_t* data, std::span<const size_t> at, int passes, uint64_t steps) {
    std::shared_ptr<const CycleSchedule> schedule;
    bool scheduleFailed = false;
    uint64_t here = 0;  // steps moved so far
    size_t next = 0;    // the first of `at` not done yet
    while (next < at.size()) {
        if (!scheduleFailed && atRunStart()) {
            if (!schedule) schedule = scheduleHere();
            scheduleFailed = !schedule;
            if (schedule) {
                const uint64_t end = here + schedule->period - schedule->runs[masterIndex_ - 1].start;
                const size_t last = static_cast<size_t>(std::lower_bound(at.begin() + next, at.end(), end) - at.begin());
                sparseGrouped<Decipher>(data, at.subspan(next, last - next), here, passes, *schedule);
                next = last;
                if (next == at.size()) break;
                // On to the schedule's end and over the whole schedules before the next symbol.
                toCycleEnd(*schedule);
                const uint64_t cycles = (at[next] - end) / schedule->period;
                skipCycles(cycles, *schedule);
                here = end + cycles * schedule->period;
                continue;
            }
        }
        if (at[next] == here) {
            // One symbol step by step (the schedule starts at run starts only).
            uint8_t& symbol = data[at[next]];
            uint8_t c = n_ == 256 ? symbol : toIndex8_[symbol];
            stepwise<Decipher>(&c, 1, passes);
            symbol = n_ == 256 ? c : toSymbol_[c];
            ++here;
            ++next;
            continue;
        }
        const uint64_t run = std::min(stepsToRotation(), at[next] - here);
        advance(run);
        here += run;
    }
    advance(steps - here);
}

template <bool Decipher>
void WheelEngine::sparseGrouped(uint8_t* data, std::span<const size_t> at, uint64_t here, int passes,
                                const CycleSchedule& s) const {
    // As the kernels do, but for scattered steps: per symbol its run, hence its group (the wheel
    // order) and its lane (the offsets); eight symbols at a time so that their look-up chains
    // overlap.
    const int first = masterIndex_ - 1;
    int order0;
    std::array<int, kWheelCount> base;
    cycleStart(s, order0, base);
    // Per group and position: the table, with the cycle's base offset folded in where it can be.
    std::array<std::array<const uint8_t*, kWheelCount>, kWheelCount> table;
    std::array<std::array<int, kWheelCount>, kWheelCount> fold;
    for (int g = 0; g < kWheelCount; ++g) {
        for (int p = 0; p < kWheelCount; ++p) {
            const int q = (p + order0 + g) % kWheelCount;
            table[g][p] = Decipher ? inverse_[q].data() : forward_[q].data() + base[q];
            fold[g][p] = 2 * n_ - base[q];
        }
    }
    const bool text = n_ != 256;
    constexpr size_t kBlock = 8;
    int r = first;
    for (size_t i = 0; i < at.size(); i += kBlock) {
        const size_t block = std::min(kBlock, at.size() - i);
        unsigned c[kBlock] = {};
        const uint8_t* rel[kBlock];
        int group[kBlock];
        for (size_t k = 0; k < kBlock; ++k) {
            const size_t j = i + std::min(k, block - 1);  // spare lanes repeat the last symbol
            const uint64_t t = s.runs[first].start + (at[j] - here);
            while (s.runs[r].start + s.runs[r].length <= t) ++r;
            group[k] = r % kWheelCount;
            const uint64_t lane = s.runs[r].lane + (t - s.runs[r].start);
            rel[k] = s.offsets.data() + (s.groupFirstVector[group[k]] + lane / kLanes) * kVectorBytes + lane % kLanes;
            const uint8_t symbol = data[at[j]];
            c[k] = text ? toIndex8_[symbol] : symbol;
        }
        for (int pass = 0; pass < passes; ++pass) {
            for (int step = 0; step < kWheelCount; ++step) {
                const int p = Decipher ? kWheelCount - 1 - step : step;
                for (size_t k = 0; k < kBlock; ++k) {
                    const unsigned o = rel[k][p * kLanes];
                    if constexpr (Decipher) {
                        c[k] = modulo_[table[group[k]][p][c[k]] + fold[group[k]][p] - o];
                    } else {
                        c[k] = table[group[k]][p][c[k] + o];
                    }
                }
            }
        }
        for (size_t k = 0; k < block; ++k) data[at[i + k]] = text ? toSymbol_[c[k]] : static_cast<uint8_t>(c[k]);
        // The run search went on with the last symbol; later blocks start from there.
    }
}

template <bool Decipher>
size_t WheelEngine::mixed(uint8_t* data, size_t count, std::span<const size_t> full, int passes) {
    if constexpr (!Decipher) {
        // Several passes at one step are that step's substitution repeated: everything gets its
        // first pass in one go, and the plain symbols the passes after the first from a copy of
        // the starting state. That copy's state afterwards is the first's.
        WheelEngine again = *this;
        const size_t valid = transform<false>(data, count, 1);
        const auto end = std::lower_bound(full.begin(), full.end(), valid);
        if (passes > 1) again.sparse<false>(data, full.first(static_cast<size_t>(end - full.begin())), passes - 1, valid);
        if (valid > 0) lastSymbol_ = data[valid - 1];
        return valid;
    } else {
        // Only the plain symbols are deciphered, each at its step; the wheels move over the rest.
        size_t valid = count;
        size_t plain = full.size();
        for (size_t i = 0; i < full.size(); ++i) {
            if (!inAlphabet(data[full[i]])) {
                valid = full[i];
                plain = i;
                break;
            }
        }
        sparse<true>(data, full.first(plain), passes, valid);
        if (plain > 0) lastSymbol_ = data[full[plain - 1]];
        return valid;
    }
}

size_t WheelEngine::encipherMixed(uint8_t* data, size_t count, std::span<const size_t> full, int passes) {
    return mixed<false>(data, count, full, passes);
}

size_t WheelEngine::decipherSpread(uint8_t* data, size_t count, std::span<const size_t> full, int passes) {
    return mixed<true>(data, count, full, passes);
}

void WheelEngine::advance(uint64_t steps) {
    std::shared_ptr<const CycleSchedule> schedule;
    bool scheduleFailed = false;
    while (steps > 0) {
        // To the end of the cycle and over whole cycles in one go.
        if (steps >= kGroupedMinimum && !scheduleFailed && atRunStart()) {
            if (!schedule) schedule = scheduleHere();
            scheduleFailed = !schedule;
            if (schedule) {
                const uint64_t toEnd = schedule->period - schedule->runs[masterIndex_ - 1].start;
                if (steps >= toEnd) {
                    toCycleEnd(*schedule);
                    steps -= toEnd;
                    const uint64_t cycles = steps / schedule->period;
                    skipCycles(cycles, *schedule);
                    steps -= cycles * schedule->period;
                    continue;
                }
                advanceWithin(*schedule, steps);
                return;
            }
        }
        const uint64_t run = std::min(stepsToRotation(), steps);
        for (int p = 0; p < kWheelCount; ++p) {
            int& offset = offset_[(p + order_) % kWheelCount];
            offset = static_cast<int>((offset + run % n_ * delta_[p]) % n_);
        }
        finishRun(run);
        steps -= run;
    }
}

void WheelEngine::store(ModuleState& m) const {
    for (int p = 0; p < kWheelCount; ++p) {
        const int q = (p + order_) % kWheelCount;
        std::string wheel(static_cast<size_t>(n_), '\0');
        for (int i = 0; i < n_; ++i) wheel[i] = symbols_[q][(i + offset_[q]) % n_];
        m.Wheels[p + 1] = std::move(wheel);
    }
    m.MasterIndex = masterIndex_;
    m.MasterCounter = masterCounter_;
    m.MasterThreshold = masterThreshold_;
    if (lastSymbol_ >= 0) {
        m.CurrentSymbol = std::string(1, static_cast<char>(lastSymbol_));
        m.PassCounter = static_cast<int16_t>(passCount_);
    }
}

}  // namespace varkel::cipher
