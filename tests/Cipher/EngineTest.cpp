// The table engine against the literal reference: random wheels, steps, directions and
// master tables, both alphabets, both directions, long enough for many wheel-order rotations
// and for the master table to wrap from entry 200 to 1.
#include "Alphabet.h"
#include "CipherStream.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"

#include <algorithm>

namespace varkel::cipher {
namespace {

struct Setting {
    bool text;
    uint32_t seed;
    int maxThreshold;  // small values rotate the wheel order often
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
    for (int x = 1; x <= kMasterTableSize; ++x) m.MasterTable[x] = static_cast<int32_t>(rng() % (s.maxThreshold + 1));
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

class EngineMatchesReference : public ::testing::TestWithParam<Setting> {};

TEST_P(EngineMatchesReference, InBothDirections) {
    const Setting s = GetParam();
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
    const Setting s = GetParam();
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

INSTANTIATE_TEST_SUITE_P(Settings, EngineMatchesReference,
                         ::testing::Values(Setting{false, 1, 50}, Setting{true, 2, 50}, Setting{false, 3, 1},
                                           Setting{true, 4, 0}, Setting{false, 5, 7}, Setting{true, 6, 30}),
                         [](const auto& info) {
                             return std::string(info.param.text ? "Text" : "Binary") + "Seed" +
                                    std::to_string(info.param.seed) + "Threshold" +
                                    std::to_string(info.param.maxThreshold);
                         });

TEST(Engine, StopsBeforeASymbolOutsideTheTextAlphabet) {
    ModuleState m;
    reference::Machine ref;
    randomState({true, 9, 20}, m, ref);
    std::string data = "abc\tdef";
    CipherStream stream(m);
    EXPECT_EQ(stream.encipher(reinterpret_cast<uint8_t*>(data.data()), data.size()), 3u);
    stream.finish();
    EXPECT_EQ(data.substr(0, 3), reference::encipher(ref, "abc"));
    expectSameState(m, ref);
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
