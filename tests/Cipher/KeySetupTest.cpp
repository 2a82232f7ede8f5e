#include "Alphabet.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "VbError.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace varkel::cipher {
namespace {

using test::readBytes;
namespace fs = std::filesystem;

class KeySetup : public test::ScratchFolder {
protected:
    ModuleState m;
};

std::string record(const std::string& file, size_t size, int r) { return readBytes(file).substr((r - 1) * size, size); }

std::vector<int> numbersOf(const std::string& file) {
    std::vector<int> values;
    std::istringstream in(readBytes(file));
    for (int v; in >> v;) values.push_back(v);
    return values;
}

TEST_F(KeySetup, KeyIsNormalisedToEighteenCharacters) {
    const struct {
        std::string key, expected;
    } cases[] = {
        {"123456789123456789", "123456789123456789"},
        {"1234567891234567891", "123456789123456789"},
        {"12345", "123451234512345123"},
        {"1234567", "123456712345671234"},
    };
    for (const auto& c : cases) {
        std::string key = c.key;
        VrkGenBinaryKeys(m, key);
        EXPECT_EQ(key, c.expected) << c.key;
        EXPECT_EQ(m.KeyScheduleLength, kKeyScheduleSize);
    }
}

TEST_F(KeySetup, MatchesTheLiteralAlgorithmInBothModes) {
    std::mt19937 rng(7);
    for (int round = 0; round < 6; ++round) {
        std::string key;
        for (size_t i = 0, n = 8 + rng() % 11; i < n; ++i) key += static_cast<char>('1' + rng() % 9);
        for (bool text : {false, true}) {
            SCOPED_TRACE(key + (text ? " text" : " binary"));
            const reference::KeyMaterial ref = reference::setUp(key, text);
            std::string k = key;
            text ? VrkGenTextKeys(m, k) : VrkGenBinaryKeys(m, k);
            EXPECT_TRUE(std::equal(ref.schedule.begin() + 1, ref.schedule.end(), m.KeySchedule.begin() + 1));
            const size_t n = text ? kTextSize : kBinarySize;
            const std::string wheelFile = text ? "k1.txt" : "k1.bin";
            for (int p = 1; p <= kWheelCount; ++p) ASSERT_EQ(record(wheelFile, n, p), ref.wheels[p]) << "wheel " << p;
            const std::string scheme = readBytes(text ? "k3.txt" : "k3.bin");
            ASSERT_EQ(scheme.size(), 100u);
            for (int p = 1; p <= kWheelCount; ++p) {
                EXPECT_EQ(scheme[p - 1], ref.direction[p] ? 'U' : 'D');
                float value;
                std::memcpy(&value, scheme.data() + 20 + 4 * (p - 1), 4);
                EXPECT_EQ(value, static_cast<float>(ref.param[p]));
                EXPECT_EQ(m.WheelDirection[p], ref.direction[p]);
            }
            EXPECT_EQ(numbersOf(text ? "k4.txt" : "k4.bin"), std::vector<int>(ref.step.begin() + 1, ref.step.end()));
            EXPECT_EQ(numbersOf(text ? "k5.txt" : "k5.bin"), std::vector<int>(ref.expansion.begin(), ref.expansion.end()));
            EXPECT_EQ(numbersOf("k6.dat"), std::vector<int>(ref.scramble.begin(), ref.scramble.end()));
            EXPECT_EQ(numbersOf(text ? "k2.txt" : "k2.bin"), (std::vector<int>{20, 2}));
            for (int x = 1; x <= kMasterTableSize; ++x) ASSERT_EQ(m.MasterTable[x], ref.master[x]) << "entry " << x;
        }
    }
}

TEST_F(KeySetup, WritesPermutationsAndEqualStateCopies) {
    std::string key = "918273645";
    VrkGenBinaryKeys(m, key);
    key = "918273645";
    VrkGenTextKeys(m, key);
    for (bool text : {false, true}) {
        const std::string alphabet = text ? textAlphabet() : binaryAlphabet();
        std::string sorted = alphabet;
        std::sort(sorted.begin(), sorted.end());
        const std::string wheels = readBytes(text ? "k1.txt" : "k1.bin");
        ASSERT_EQ(wheels.size(), alphabet.size() * kWheelCount);
        for (int p = 0; p < kWheelCount; ++p) {
            std::string w = wheels.substr(p * alphabet.size(), alphabet.size());
            std::sort(w.begin(), w.end());
            EXPECT_EQ(w, sorted) << "wheel " << p + 1;
        }
        EXPECT_EQ(readBytes(text ? "k1.trs" : "k1.brs"), wheels);
        EXPECT_EQ(readBytes(text ? "k1.tcr" : "k1.bcr"), wheels);
    }
}

TEST_F(KeySetup, SameKeyGivesIdenticalFilesAndValuesInRange) {
    const char* files[] = {"k1.bin", "k2.bin", "k3.bin", "k4.bin", "k5.bin", "k6.dat"};
    std::string key = "55555555";
    VrkGenBinaryKeys(m, key);
    std::vector<std::string> first;
    for (const char* f : files) first.push_back(readBytes(f));
    for (const char* f : files) fs::remove(f);
    key = "55555555";
    ModuleState other;
    VrkGenBinaryKeys(other, key);
    for (size_t i = 0; i < std::size(files); ++i) EXPECT_EQ(readBytes(files[i]), first[i]) << files[i];
    for (int step : numbersOf("k4.bin")) EXPECT_TRUE(step >= 1 && step <= 7);
    for (const char* f : {"k5.bin", "k6.dat"})
        for (int v : numbersOf(f)) EXPECT_TRUE((v >= 8 && v <= 14) || (v >= 20 && v <= 22)) << v;
}

TEST_F(KeySetup, ScratchFilesAreOwnerOnly) {
    std::string key = "123456789";
    VrkGenBinaryKeys(m, key);
    for (const char* f : {"k1.bin", "k1.brs", "k1.bcr", "k2.bin", "k3.bin", "k4.bin", "k5.bin", "k6.dat"}) {
        struct stat st {};
        ASSERT_EQ(::stat(f, &st), 0) << f;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << f;
    }
}

TEST_F(KeySetup, BadKeysAreRefusedBeforeAnyFileIsWritten) {
    for (std::string key : {"", "12a456789", "100100", "0", "123 456", "-12345678"}) {
        const std::string given = key;
        for (auto setUp : {VrkGenBinaryKeys, VrkGenTextKeys, GenSetup}) {
            try {
                setUp(m, key);
                ADD_FAILURE() << "accepted key '" << given << "'";
            } catch (const platform::VbError& e) {
                EXPECT_EQ(e.number(), 5);
            }
            EXPECT_EQ(key, given);
        }
        EXPECT_TRUE(fs::is_empty(fs::current_path())) << "key '" << given << "' left files";
    }
    // Zeros that never pair up as 00 are fine.
    std::string key = "1010101";
    EXPECT_NO_THROW(VrkGenBinaryKeys(m, key));
}

TEST(MasterTable, SeedDigitsAndTheirDefaults) {
    const struct {
        std::string seed;
        int64_t t1, t2, t3;
    } cases[] = {{"000", 10, 10, 10}, {"5", 15, 10, 15}, {"123", 11, 12, 13}, {"x9", 10, 19, 19}, {"", 10, 10, 10}};
    for (const auto& c : cases) {
        ModuleState m;
        GenerateMsterKeys(m, c.seed);
        const auto ref = reference::masterTable(c.seed);
        EXPECT_EQ(ref[1], c.t1) << c.seed;
        EXPECT_EQ(ref[2], c.t2) << c.seed;
        EXPECT_EQ(ref[3], c.t3) << c.seed;
        for (int x = 1; x <= kMasterTableSize; ++x) ASSERT_EQ(m.MasterTable[x], ref[x]) << c.seed << " entry " << x;
    }
}

TEST(MasterTable, EveryEntryIsNormalised) {
    for (int seed = 10; seed <= 999; seed += 37) {
        ModuleState m;
        const std::string digits = "00" + std::to_string(seed);
        GenerateMsterKeys(m, digits.substr(digits.size() - 3));
        for (int x = 1; x <= kMasterTableSize; ++x) EXPECT_GE(m.MasterTable[x], 10);
        EXPECT_EQ(m.MasterTable[0], 0);
    }
}

}  // namespace
}  // namespace varkel::cipher
