#include "CipherStream.h"

#include "Operations.h"

namespace varkel::cipher {

CipherStream::CipherStream(ModuleState& m) : m_(m), engine_(WheelEngine::fromModule(m)) {}

bool CipherStream::inAlphabet(uint8_t symbol) const {
    if (engine_) return engine_->inAlphabet(symbol);
    return m_.ActiveAlphabet.find(static_cast<char>(symbol)) != std::string::npos;
}

template <bool Decipher>
size_t CipherStream::run(uint8_t* data, size_t count, int16_t counterStart) {
    if (engine_) {
        if (const auto passes = engine_->passesFrom(counterStart)) {
            return Decipher ? engine_->decipher(data, count, *passes) : engine_->encipher(data, count, *passes);
        }
        // The pass loop fails for this counter; let the step-by-step form raise it.
        finish();
    }
    for (size_t i = 0; i < count; ++i) {
        if (!inAlphabet(data[i])) return i;
        m_.CurrentSymbol.assign(1, static_cast<char>(data[i]));
        m_.PassCounter = counterStart;
        Decipher ? VrkDoDec(m_) : VrkDoEnc(m_);
        data[i] = static_cast<uint8_t>(m_.CurrentSymbol.empty() ? 0 : m_.CurrentSymbol[0]);
    }
    return count;
}

size_t CipherStream::encipher(uint8_t* data, size_t count, int16_t counterStart) {
    return run<false>(data, count, counterStart);
}

size_t CipherStream::decipher(uint8_t* data, size_t count, int16_t counterStart) {
    return run<true>(data, count, counterStart);
}

size_t CipherStream::encipherWithFillers(uint8_t* data, size_t count, std::span<const size_t> full) {
    if (engine_) {
        if (const auto passes = engine_->passesFrom(0); passes && engine_->passesFrom(static_cast<int16_t>(m_.PassCount - 1)))
            return engine_->encipherMixed(data, count, full, *passes);
    }
    auto next = full.begin();
    for (size_t i = 0; i < count; ++i) {
        const bool plain = next != full.end() && *next == i;
        if (plain) ++next;
        if (encipher(data + i, 1, plain ? int16_t{0} : static_cast<int16_t>(m_.PassCount - 1)) != 1) return i;
    }
    return count;
}

size_t CipherStream::decipherSpread(uint8_t* data, size_t count, std::span<const size_t> full) {
    if (engine_) {
        if (const auto passes = engine_->passesFrom(0)) return engine_->decipherSpread(data, count, full, *passes);
    }
    auto next = full.begin();
    for (size_t i = 0; i < count; ++i) {
        if (next != full.end() && *next == i) {
            ++next;
            if (decipher(data + i, 1) != 1) return i;
        } else {
            advance(1);
        }
    }
    return count;
}

void CipherStream::advance(uint64_t steps) {
    if (engine_) {
        engine_->advance(steps);
        return;
    }
    for (uint64_t i = 0; i < steps; ++i) ShiftWheels(m_);
}

void CipherStream::finish() {
    if (engine_) {
        engine_->store(m_);
        engine_.reset();
    }
}

}  // namespace varkel::cipher
