#include "WheelEngine.h"

#include "Alphabet.h"

#include <algorithm>
#include <limits>

namespace varkel::cipher {

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
    for (int i = 0; i < n; ++i) {
        const auto symbol = static_cast<uint8_t>(alphabet[i]);
        e.toIndex_[symbol] = static_cast<uint16_t>(i);
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
            e.forward_[q][j] = e.forward_[q][j + n] = static_cast<uint8_t>(index);
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
    for (int j = 0; j < 2 * n; ++j) e.modulo_[j] = static_cast<uint8_t>(j % n);
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
        uint64_t k = 0;
        for (; k < run; ++k) {
            unsigned c = toIndex_[data[done + k]];
            if (c == kAbsent) break;
            for (int pass = 0; pass < passes; ++pass) {
                if constexpr (Decipher) {
                    for (int p = kWheelCount - 1; p >= 0; --p) c = modulo_[table[p][c] + n - offset[p]];
                } else {
                    for (int p = 0; p < kWheelCount; ++p) c = table[p][c + offset[p]];
                }
            }
            data[done + k] = toSymbol_[c];
            lastSymbol_ = toSymbol_[c];
            for (int p = 0; p < kWheelCount; ++p) {
                offset[p] += delta_[p];
                if (offset[p] >= n) offset[p] -= n;
            }
        }
        for (int p = 0; p < kWheelCount; ++p) offset_[(p + order_) % kWheelCount] = offset[p];
        done += k;
        if (k > 0) finishRun(k);
        if (k < run) break;
    }
    return done;
}

size_t WheelEngine::encipher(uint8_t* data, size_t count, int passes) { return transform<false>(data, count, passes); }
size_t WheelEngine::decipher(uint8_t* data, size_t count, int passes) { return transform<true>(data, count, passes); }

void WheelEngine::advance(uint64_t steps) {
    while (steps > 0) {
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
