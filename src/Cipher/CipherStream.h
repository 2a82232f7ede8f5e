// Runs many cipher steps on the module state: through the table engine when the state allows
// it, step by step otherwise. Either way the results and the state left behind are those of
// calling VrkDoEnc / VrkDoDec once per symbol.
#pragma once

#include "Module.h"
#include "WheelEngine.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace varkel::cipher {

class CipherStream {
public:
    explicit CipherStream(ModuleState& m);
    CipherStream(const CipherStream&) = delete;
    CipherStream& operator=(const CipherStream&) = delete;

    // Transforms symbols in place, each with the pass counter starting at `counterStart`.
    // Stops before a symbol that is not in the alphabet and returns how many it processed;
    // any other failure raises its error after the state has been written back.
    size_t encipher(uint8_t* data, size_t count, int16_t counterStart = 0);
    size_t decipher(uint8_t* data, size_t count, int16_t counterStart = 0);
    // Expanded files. Enciphers symbols in place: those at the positions in `full` (ascending)
    // with the pass counter starting at 0, the others as fillers (starting at PassCount - 1).
    size_t encipherWithFillers(uint8_t* data, size_t count, std::span<const size_t> full);
    // Deciphers the symbols at the positions in `full` (ascending), each with the pass counter
    // starting at 0, and moves the wheels one step for every other position, as `advance`
    // would; the bytes at those other positions are left alone. Returns how many positions it
    // went through (all, or up to a symbol outside the alphabet).
    size_t decipherSpread(uint8_t* data, size_t count, std::span<const size_t> full);
    // Moves the wheels as ShiftWheels does, `steps` times.
    void advance(uint64_t steps);
    // Writes the state back into the module (the engine keeps its own until then).
    void finish();

    bool inAlphabet(uint8_t symbol) const;
    bool usesTables() const { return engine_.has_value(); }

private:
    template <bool Decipher>
    size_t run(uint8_t* data, size_t count, int16_t counterStart);

    ModuleState& m_;
    std::optional<WheelEngine> engine_;
};

}  // namespace varkel::cipher
