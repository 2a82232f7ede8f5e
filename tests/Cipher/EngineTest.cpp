// The table engine against the literal reference: random wheels, steps, directions and
// master tables, both alphabets, both directions, long enough for many wheel-order rotations
// and for the master table to wrap from entry 200 to 1; on every kernel this machine can run.
#include "Alphabet.h"
#include "CipherStream.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "WheelEngine.h"
#include "WheelKernel.h"

#include <algorithm>
#include <array>
#include <random>
#include <span>
#include <tuple>
#include <vector>

namespace varkel::cipher {
namespace {

struct Setting {
    bool text;
    uint32_t seed;
    int maxThreshold;  // small values rotate the wheel order often
    int minThreshold = 0;
};

// A random well-formed state, mirrored into the reference machine.
void randomState(const Setting& s, ModuleState& m, reference::Machine& ref) {
    std::mt19937 rng(s.seed);
    const std::string alphabet = s.text ? textAlphabet() : binaryAlphabet();
    const int n = static_cast<int>(alphabet.size());
    m.ActiveAlphabet = alphabet;
    m.AlphabetSize = static_cast<int16_t>(n);
    m.PassCount = 2;
    for (int p = 1; p <= kWheelCount; ++p) {
        std::string w = alphabet;
        std::shuffle(w.begin(), w.end(), rng);
        m.Wheels[p] = w;
        m.WheelDirection[p] = static_cast<int16_t>(rng() % 2);
        m.WheelStep[p] = static_cast<int16_t>(p == 7 ? n : 1 + rng() % 7);  // one full-turn step
    }
    for (int x = 1; x <= kMasterTableSize; ++x) m.MasterTable[x] = static_cast<int32_t>(s.minThreshold + rng() % (s.maxThreshold - s.minThreshold + 1));
    m.MasterIndex = 1;
    m.MasterCounter = 0;
    m.MasterThreshold = m.MasterTable[1];

    ref.alphabet = alphabet;
    for (int p = 1; p <= kWheelCount; ++p) {
        ref.wheels[p] = m.Wheels[p];
        ref.direction[p] = m.WheelDirection[p];
        ref.step[p] = m.WheelStep[p];
    }
    for (int x = 1; x <= kMasterTableSize; ++x) ref.master[x] = m.MasterTable[x];
    ref.threshold = ref.master[1];
}

std::string randomSymbols(const std::string& alphabet, size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (auto& c : s) c = alphabet[rng() % alphabet.size()];
    return s;
}

void expectSameState(const ModuleState& m, const reference::Machine& ref) {
    for (int p = 1; p <= kWheelCount; ++p) ASSERT_EQ(m.Wheels[p], ref.wheels[p]) << "wheel " << p;
    EXPECT_EQ(m.MasterIndex, ref.masterIndex);
    EXPECT_EQ(m.MasterCounter, ref.masterCounter);
    EXPECT_EQ(m.MasterThreshold, ref.threshold);
}

const auto kPaths = ::testing::Values(EnginePath::Scalar, EnginePath::Avx512);

// Runs each test on one kernel; a kernel this processor lacks is skipped.
void forcePath(EnginePath path) {
    if (!setEnginePath(path)) GTEST_SKIP() << enginePathName(path) << " is not supported on this processor";
}

class EngineMatchesReference : public ::testing::TestWithParam<std::tuple<EnginePath, Setting>> {
protected:
    void SetUp() override { forcePath(std::get<0>(GetParam())); }
    void TearDown() override { setEnginePath(EnginePath::Auto); }
    Setting setting() const { return std::get<1>(GetParam()); }
};

TEST_P(EngineMatchesReference, InBothDirections) {
    const Setting s = setting();
    ModuleState m;
    reference::Machine ref;
    randomState(s, m, ref);
    const ModuleState start = m;
    const reference::Machine refStart = ref;
    // Enough symbols for several hundred order rotations and a wrap of the master table.
    const std::string plain = randomSymbols(m.ActiveAlphabet, 12000, s.seed + 1);

    std::string data = plain;
    CipherStream enc(m);
    ASSERT_TRUE(enc.usesTables());
    ASSERT_EQ(enc.encipher(reinterpret_cast<uint8_t*>(data.data()), 5000), 5000u);  // two calls: state carries
    ASSERT_EQ(enc.encipher(reinterpret_cast<uint8_t*>(data.data()) + 5000, data.size() - 5000), data.size() - 5000);
    enc.finish();
    const std::string expected = reference::encipher(ref, plain);
    ASSERT_EQ(data, expected);
    expectSameState(m, ref);
    EXPECT_EQ(m.CurrentSymbol, std::string(1, expected.back()));
    EXPECT_EQ(m.PassCounter, 2);

    m = start;
    ref = refStart;
    CipherStream dec(m);
    ASSERT_EQ(dec.decipher(reinterpret_cast<uint8_t*>(data.data()), data.size()), data.size());
    dec.finish();
    EXPECT_EQ(data, plain);
    reference::decipher(ref, expected);
    expectSameState(m, ref);
}

TEST_P(EngineMatchesReference, WhenAdvancingWithoutSymbolsAndWithOnePass) {
    const Setting s = setting();
    ModuleState m;
    reference::Machine ref;
    randomState(s, m, ref);
    const std::string plain = randomSymbols(m.ActiveAlphabet, 300, s.seed + 2);
    std::string data = plain;
    std::string expected;
    CipherStream stream(m);
    for (size_t i = 0; i < data.size(); ++i) {
        // One pass, as for a filler symbol, then steps without a symbol.
        stream.encipher(reinterpret_cast<uint8_t*>(&data[i]), 1, static_cast<int16_t>(m.PassCount - 1));
        stream.advance(i % 13);
        expected += ref.encipher(plain[i], 1);
        for (size_t k = 0; k < i % 13; ++k) ref.shift();
    }
    stream.finish();
    EXPECT_EQ(data, expected);
    expectSameState(m, ref);
}

// Calls of these sizes one after another: empty, single symbols, around the vector width and
// the smallest grouped call, around a record, and ones that start in the middle of a run or of
// the master table's cycle.
TEST_P(EngineMatchesReference, AtEveryCallLength) {
    const Setting s = setting();
    ModuleState m;
    reference::Machine ref;
    randomState(s, m, ref);
    const ModuleState start = m;
    const reference::Machine refStart = ref;
    const std::vector<size_t> sizes = {0,   1,    2,   63,  64,   65,   191, 192, 193, 255,
                                       256, 257,  999, 1000, 1001, 4099, 7,   6007, 1};
    size_t total = 0;
    for (size_t size : sizes) total += size;
    const std::string plain = randomSymbols(m.ActiveAlphabet, total, s.seed + 3);

    for (const bool decipher : {false, true}) {
        SCOPED_TRACE(decipher ? "deciphering" : "enciphering");
        m = start;
        ref = refStart;
        std::string data = plain;
        CipherStream stream(m);
        size_t at = 0;
        for (size_t size : sizes) {
            auto* bytes = reinterpret_cast<uint8_t*>(data.data()) + at;
            ASSERT_EQ(decipher ? stream.decipher(bytes, size) : stream.encipher(bytes, size), size);
            at += size;
        }
        stream.finish();
        EXPECT_EQ(data, decipher ? reference::decipher(ref, plain) : reference::encipher(ref, plain));
        expectSameState(m, ref);
    }
}

// The layout of an expanded file: each plain symbol followed by a number of fillers (none,
// one, short and long stretches), with the pass count of the key and one more.
struct Spread {
    std::string symbols;
    std::vector<size_t> plain;  // positions of the plain symbols
};

Spread spreadLayout(const std::string& alphabet, uint32_t seed) {
    const std::string plain = randomSymbols(alphabet, 600, seed);
    const std::array<size_t, 8> fillers = {0, 3, 1, 40, 0, 12, 95, 7};
    Spread s;
    for (size_t i = 0; i < plain.size(); ++i) {
        s.plain.push_back(s.symbols.size());
        s.symbols += plain[i];
        s.symbols.append(fillers[i % fillers.size()], alphabet[5]);
    }
    return s;
}

TEST_P(EngineMatchesReference, SymbolsSpreadBetweenFillers) {
    for (const int passes : {2, 3}) {
        SCOPED_TRACE(passes);
        const Setting s = setting();
        ModuleState m;
        reference::Machine ref;
        randomState(s, m, ref);
        m.PassCount = passes;
        const ModuleState start = m;
        const reference::Machine refStart = ref;
        const Spread layout = spreadLayout(m.ActiveAlphabet, s.seed + 4);
        const size_t size = layout.symbols.size();
        // Two calls, the first ending inside a stretch of fillers.
        // (symbol 302 has 95 fillers)
        const size_t split = layout.plain[303] - 5;
        const std::span<const size_t> all(layout.plain);
        const auto firstCall = all.first(303);
        std::vector<size_t> secondCall;
        for (size_t at : all.subspan(303)) secondCall.push_back(at - split);

        std::string data = layout.symbols;
        std::string expected;
        auto isPlain = [&](size_t i) { return std::binary_search(all.begin(), all.end(), i); };
        for (size_t i = 0; i < size; ++i) expected += ref.encipher(data[i], isPlain(i) ? passes : 1);
        CipherStream enc(m);
        auto* bytes = reinterpret_cast<uint8_t*>(data.data());
        ASSERT_EQ(enc.encipherWithFillers(bytes, split, firstCall), split);
        ASSERT_EQ(enc.encipherWithFillers(bytes + split, size - split, secondCall), size - split);
        enc.finish();
        ASSERT_EQ(data, expected);
        expectSameState(m, ref);
        EXPECT_EQ(m.CurrentSymbol, std::string(1, expected.back()));

        m = start;
        ref = refStart;
        CipherStream dec(m);
        ASSERT_EQ(dec.decipherSpread(bytes, split, firstCall), split);
        ASSERT_EQ(dec.decipherSpread(bytes + split, size - split, secondCall), size - split);
        dec.finish();
        char last = 0;
        for (size_t i = 0; i < size; ++i) {
            if (!isPlain(i)) {
                ref.shift();
                continue;
            }
            last = ref.decipher(expected[i], passes);
            ASSERT_EQ(data[i], layout.symbols[i]) << "position " << i;
            ASSERT_EQ(last, layout.symbols[i]);
        }
        expectSameState(m, ref);
        // Only the plain symbols count as the last one.
        EXPECT_EQ(m.CurrentSymbol, std::string(1, last));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Settings, EngineMatchesReference,
    ::testing::Combine(kPaths, ::testing::Values(Setting{false, 1, 50}, Setting{true, 2, 50}, Setting{false, 3, 1},
                                                 Setting{true, 4, 0}, Setting{false, 5, 7}, Setting{true, 6, 30},
                                                 Setting{false, 7, 3000})),  // a cycle too long to group
    [](const auto& info) {
        const Setting& s = std::get<1>(info.param);
        return std::string(enginePathName(std::get<0>(info.param))) + (s.text ? "Text" : "Binary") + "Seed" +
               std::to_string(s.seed) + "Threshold" + std::to_string(s.maxThreshold);
    });

class EngineOnEachPath : public ::testing::TestWithParam<EnginePath> {
protected:
    void SetUp() override { forcePath(GetParam()); }
    void TearDown() override { setEnginePath(EnginePath::Auto); }
};

// Runs of at least 16 steps: few enough per vector that calls over a whole schedule go through
// the slices worked out with the schedule, which this checks; a call from the first run over
// one schedule and on into the next, each direction, each alphabet, against the literal
// algorithm.
TEST_P(EngineOnEachPath, WholeSchedulesMatchReference) {
    for (const Setting& s : {Setting{false, 31, 40, 16}, Setting{true, 32, 24, 16}}) {
        SCOPED_TRACE(s.text ? "text" : "binary");
        ModuleState m;
        reference::Machine ref;
        randomState(s, m, ref);
        const auto engine = WheelEngine::fromModule(m);
        ASSERT_TRUE(engine.has_value());
        std::array<int, kWheelCount> delta{};
        for (int p = 0; p < kWheelCount; ++p) {
            const int n = m.AlphabetSize;
            delta[p] = m.WheelDirection[p + 1] != 0 ? m.WheelStep[p + 1] % n : (n - m.WheelStep[p + 1]) % n;
        }
        CycleSchedule schedule;
        ASSERT_TRUE(CycleSchedule::build(schedule, m.AlphabetSize, delta, m.MasterTable, 1 << 16));
        ASSERT_GT(schedule.slicesPerVector, 0u);
        const size_t size = schedule.period + schedule.period / 3;
        const ModuleState start = m;
        const reference::Machine refStart = ref;
        const std::string plain = randomSymbols(m.ActiveAlphabet, size, s.seed + 1);
        for (const bool decipher : {false, true}) {
            SCOPED_TRACE(decipher ? "deciphering" : "enciphering");
            m = start;
            ref = refStart;
            std::string data = plain;
            CipherStream stream(m);
            auto* bytes = reinterpret_cast<uint8_t*>(data.data());
            ASSERT_EQ(decipher ? stream.decipher(bytes, size) : stream.encipher(bytes, size), size);
            stream.finish();
            EXPECT_EQ(data, decipher ? reference::decipher(ref, plain) : reference::encipher(ref, plain));
            expectSameState(m, ref);
        }
    }
}

// Inputs large enough to be shared between cores give what calls too small for that give,
// which the tests above hold to the literal algorithm.
TEST_P(EngineOnEachPath, LargeInputsMatchSmallerCalls) {
    // Binary enciphering and text deciphering: the other pairings are those kernels again.
    for (const auto& [text, decipher] : {std::pair{false, false}, std::pair{true, true}}) {
        SCOPED_TRACE(text ? "text deciphering" : "binary enciphering");
        ModuleState m;
        reference::Machine ref;
        randomState({text, 21, 50}, m, ref);
        const ModuleState start = m;
        const size_t size = WheelEngine::kParallelMinimum + 333;
        const std::string plain = randomSymbols(m.ActiveAlphabet, size, 22);
        {
            auto run = [&](ModuleState& state, size_t piece) {
                std::string data = plain;
                CipherStream stream(state);
                for (size_t at = 0; at < size; at += piece) {
                    auto* bytes = reinterpret_cast<uint8_t*>(data.data()) + at;
                    const size_t count = std::min(piece, size - at);
                    EXPECT_EQ(decipher ? stream.decipher(bytes, count) : stream.encipher(bytes, count), count);
                }
                stream.finish();
                return data;
            };
            ModuleState whole = start;
            ModuleState pieces = start;
            const std::string once = run(whole, size);
            const std::string inPieces = run(pieces, 40009);
            ASSERT_EQ(once, inPieces);
            for (int p = 1; p <= kWheelCount; ++p) ASSERT_EQ(whole.Wheels[p], pieces.Wheels[p]) << "wheel " << p;
            EXPECT_EQ(whole.MasterIndex, pieces.MasterIndex);
            EXPECT_EQ(whole.MasterCounter, pieces.MasterCounter);
            EXPECT_EQ(whole.MasterThreshold, pieces.MasterThreshold);
            EXPECT_EQ(whole.CurrentSymbol, pieces.CurrentSymbol);
        }
    }
}

TEST_P(EngineOnEachPath, AdvanceOverManyCyclesMatchesSteps) {
    ModuleState m;
    reference::Machine ref;
    randomState({false, 23, 40}, m, ref);
    CipherStream stream(m);
    stream.advance(3);  // from the middle of a run
    stream.advance(30011);
    stream.finish();
    for (size_t k = 0; k < 30014; ++k) ref.shift();
    expectSameState(m, ref);
}

INSTANTIATE_TEST_SUITE_P(Paths, EngineOnEachPath, kPaths,
                         [](const auto& info) { return std::string(enginePathName(info.param)); });

// The text-file helpers against plain loops: every byte value, runs of carriage returns, and
// lengths around the vector widths.
TEST_P(EngineOnEachPath, TextBytesAreKeptAndLineEndsPutBack) {
    std::array<uint8_t, 256> fate{};
    std::mt19937 rng(31);
    for (auto& f : fate) f = static_cast<uint8_t>(rng() % 3);
    fate['\r'] = 2;
    for (const size_t size : {0, 1, 31, 32, 33, 63, 64, 65, 127, 1000, 4099}) {
        SCOPED_TRACE(size);
        std::string bytes(size, '\0');
        for (auto& c : bytes) c = static_cast<char>(rng() % 4 == 0 ? '\r' : rng());
        if (size > 40) std::fill_n(bytes.begin() + 20, 20, '\r');

        std::string kept;
        int64_t counted = 0;
        for (const char c : bytes) {
            const uint8_t f = fate[static_cast<uint8_t>(c)];
            if (f == 2) kept += c;
            counted += f == 1;
        }
        std::string data = bytes;
        int64_t got = 5;
        const size_t keptSize = keepTextBytes(reinterpret_cast<uint8_t*>(data.data()), size, fate, got);
        EXPECT_EQ(data.substr(0, keptSize), kept);
        EXPECT_EQ(got, 5 + counted);

        std::string lines;
        for (const char c : bytes) {
            lines += c;
            if (c == '\r') lines += '\n';
        }
        std::string out(2 * size + 64, 'X');
        const size_t written = expandLineEnds(reinterpret_cast<const uint8_t*>(bytes.data()), size,
                                              reinterpret_cast<uint8_t*>(out.data()));
        EXPECT_EQ(out.substr(0, written), lines);
        EXPECT_EQ(out.substr(written), std::string(out.size() - written, 'X'));  // nothing beyond
    }
}

// A plain symbol outside the alphabet stops the spread deciphering before it, with the wheels
// moved over everything before it (text only: every byte is a binary symbol).
TEST_P(EngineOnEachPath, SpreadDecipheringStopsBeforeASymbolOutsideTheAlphabet) {
    for (const Setting& s : {Setting{true, 2, 50}, Setting{true, 4, 0}, Setting{true, 6, 3000}}) {
        SCOPED_TRACE(s.seed);
        ModuleState m;
        reference::Machine ref;
        randomState(s, m, ref);
        Spread layout = spreadLayout(m.ActiveAlphabet, s.seed + 5);
        const size_t bad = layout.plain[250];
        layout.symbols[bad] = '\t';
        std::string data = layout.symbols;
        CipherStream dec(m);
        EXPECT_EQ(dec.decipherSpread(reinterpret_cast<uint8_t*>(data.data()), data.size(), layout.plain), bad);
        dec.finish();
        for (size_t i = 0, next = 0; i < bad; ++i) {
            if (i == layout.plain[next]) {
                ref.decipher(layout.symbols[i], 2);
                ++next;
            } else {
                ref.shift();
            }
        }
        expectSameState(m, ref);
        EXPECT_EQ(data.substr(bad), layout.symbols.substr(bad));
    }
}

TEST(EnginePaths, OnlyKernelsTheProcessorRunsCanBeChosen) {
    EXPECT_TRUE(setEnginePath(EnginePath::Scalar));
    EXPECT_EQ(activeEnginePath(), EnginePath::Scalar);
    const bool vector = enginePathSupported(EnginePath::Avx512);
    EXPECT_EQ(setEnginePath(EnginePath::Avx512), vector);
    EXPECT_EQ(activeEnginePath(), vector ? EnginePath::Avx512 : EnginePath::Scalar);
    EXPECT_TRUE(setEnginePath(EnginePath::Auto));
    EXPECT_NE(activeEnginePath(), EnginePath::Auto);
}

TEST_P(EngineOnEachPath, StopsBeforeASymbolOutsideTheTextAlphabet) {
    for (const size_t before : {3, 700}) {
        ModuleState m;
        reference::Machine ref;
        randomState({true, 9, 20}, m, ref);
        const std::string valid = randomSymbols(m.ActiveAlphabet, before, 10);
        const std::string rest = "\t" + randomSymbols(m.ActiveAlphabet, 300, 11);
        std::string data = valid + rest;
        CipherStream stream(m);
        EXPECT_EQ(stream.encipher(reinterpret_cast<uint8_t*>(data.data()), data.size()), before);
        stream.finish();
        EXPECT_EQ(data.substr(0, before), reference::encipher(ref, valid));
        EXPECT_EQ(data.substr(before), rest);  // untouched from the stop on
        expectSameState(m, ref);
    }
}

TEST(Engine, CorruptWheelFallsBackToTheStepByStepForm) {
    ModuleState m;
    reference::Machine ref;
    randomState({false, 11, 20}, m, ref);
    m.Wheels[5][10] = m.Wheels[5][11];  // a symbol twice: the first occurrence counts
    ref.wheels[5] = m.Wheels[5];
    std::string data = randomSymbols(m.ActiveAlphabet, 600, 12);
    const std::string plain = data;
    CipherStream stream(m);
    EXPECT_FALSE(stream.usesTables());
    stream.encipher(reinterpret_cast<uint8_t*>(data.data()), data.size());
    stream.finish();
    EXPECT_EQ(data, reference::encipher(ref, plain));
    expectSameState(m, ref);
}

}  // namespace
}  // namespace varkel::cipher
