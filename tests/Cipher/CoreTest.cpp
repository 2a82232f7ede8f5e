#include "Alphabet.h"
#include "File.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "VbError.h"

#include <set>

namespace varkel::cipher {
namespace {

using test::errorOf;
using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

TEST(Alphabets, TextAlphabetHasItsFixedSymbols) {
    const std::string& a = textAlphabet();
    ASSERT_EQ(a.size(), 151u);
    EXPECT_EQ(std::set<char>(a.begin(), a.end()).size(), 151u);
    EXPECT_EQ(a[92], 34);
    EXPECT_EQ(a[93], 13);
    EXPECT_EQ(a[94], '_');
    EXPECT_EQ(static_cast<unsigned char>(a[150]), 253);
    EXPECT_EQ(a.find('\n'), std::string::npos);
    EXPECT_EQ(a.find('\t'), std::string::npos);
    EXPECT_EQ(binaryAlphabet().front(), '\0');
    EXPECT_EQ(static_cast<unsigned char>(binaryAlphabet().back()), 255);
}

class Core : public test::ScratchFolder {
protected:
    ModuleState m;

    // Identity wheels over the binary alphabet with the given steps and directions.
    void identityWheels(int step) {
        m.ActiveAlphabet = binaryAlphabet();
        m.AlphabetSize = 256;
        m.PassCount = 2;
        for (int p = 1; p <= kWheelCount; ++p) {
            m.Wheels[p] = binaryAlphabet();
            m.WheelStep[p] = static_cast<int16_t>(step);
            m.WheelDirection[p] = static_cast<int16_t>(p % 2);
        }
    }
};

TEST_F(Core, ApiInitWithoutScratchFilesUsesDefaultsAndLeavesEmptyFiles) {
    m.CipherMode = kBinaryMode;
    ApiInit(m);
    EXPECT_EQ(m.WheelDirection[1], 0);
    EXPECT_EQ(m.WheelDirection[2], 1);
    EXPECT_EQ(m.WheelParam[3], 5);
    EXPECT_EQ(m.WheelParam[6], 7);
    for (int p = 1; p <= kWheelCount; ++p) EXPECT_EQ(m.WheelStep[p], 1);
    EXPECT_EQ(fs::file_size("k3.bin"), 0u);
    EXPECT_EQ(fs::file_size("k4.bin"), 0u);
    EXPECT_EQ(m.MasterThreshold, 0);  // no key set-up in this state yet
    EXPECT_EQ(m.MasterIndex, 1);
    EXPECT_EQ(m.TextFiller, std::string(151, '@'));
}

TEST_F(Core, ApiInitReadsStepsAndRefusesBadStepFiles) {
    std::string steps;
    for (int p = 1; p <= kWheelCount; ++p) steps += (p == 1 ? "0" : p == 2 ? "-4" : p == 3 ? "xxxxx" : "3") + std::string("\r\n");
    writeBytes("k4.txt", steps);
    m.CipherMode = kTextMode;
    ApiInit(m);
    EXPECT_EQ(m.WheelStep[1], 1);
    EXPECT_EQ(m.WheelStep[2], 1);
    EXPECT_EQ(m.WheelStep[3], 1);
    EXPECT_EQ(m.WheelStep[4], 3);

    writeBytes("k4.txt", "1\r\n2\r\n3\r\n");
    EXPECT_EQ(errorOf([&] { ApiInit(m); }), 62);
    writeBytes("k4.txt", "40000\r\n");
    EXPECT_EQ(errorOf([&] { ApiInit(m); }), 6);
}

TEST_F(Core, RotationByTheAlphabetSizeLeavesAWheelAndLeftEqualsRightByTheRest) {
    identityWheels(256);
    m.MasterThreshold = 1000;
    ShiftWheels(m);
    for (int p = 1; p <= kWheelCount; ++p) EXPECT_EQ(m.Wheels[p], binaryAlphabet());

    identityWheels(3);
    m.WheelDirection[1] = 0;  // right by 3
    m.WheelDirection[2] = 1;  // left by 253, the same wheel
    m.WheelStep[2] = 253;
    m.WheelDirection[3] = 1;
    m.MasterThreshold = 1000;
    ShiftWheels(m);
    EXPECT_EQ(m.Wheels[1], m.Wheels[2]);
    EXPECT_EQ(static_cast<unsigned char>(m.Wheels[1][0]), 253);
    EXPECT_EQ(static_cast<unsigned char>(m.Wheels[3][0]), 3);  // left by 3: old position 4 comes first
}

TEST_F(Core, WheelOrderRotatesAtTheThresholdAndTheTableWraps) {
    identityWheels(1);
    for (int p = 1; p <= kWheelCount; ++p) m.Wheels[p][0] = static_cast<char>(p);  // mark each wheel
    m.MasterTable.fill(3);
    m.MasterTable[1] = 10;
    m.MasterIndex = 1;
    m.MasterCounter = 0;
    m.MasterThreshold = 10;
    for (int i = 0; i < 9; ++i) MasterShift(m);
    EXPECT_EQ(m.Wheels[1][0], 1);
    MasterShift(m);  // the 10th symbol rotates the order
    EXPECT_EQ(m.Wheels[1][0], 2);
    EXPECT_EQ(m.Wheels[20][0], 1);
    EXPECT_EQ(m.MasterIndex, 2);
    EXPECT_EQ(m.MasterThreshold, 3);

    m.MasterIndex = 200;
    m.MasterCounter = 0;
    m.MasterThreshold = 1;
    MasterShift(m);
    EXPECT_EQ(m.MasterIndex, 1);
    EXPECT_EQ(m.MasterThreshold, 10);
}

TEST_F(Core, OutputRecordIsWrittenAtExactlyOneThousandSymbols) {
    identityWheels(1);
    m.MasterThreshold = 1 << 30;
    platform::File out("out.bin", platform::OpenMode::Random);
    m.OutputChannel = &out;
    for (int i = 0; i < 999; ++i) {
        m.CurrentSymbol = "a";
        m.PassCounter = 0;
        VrkEnc(m);
    }
    EXPECT_EQ(m.OutputRecordNo, 0);
    EXPECT_EQ(m.OutputBuffer.size(), 999u);
    EXPECT_EQ(fs::file_size("out.bin"), 0u);
    m.CurrentSymbol = "a";
    m.PassCounter = 0;
    VrkEnc(m);
    EXPECT_EQ(m.OutputRecordNo, 1);
    EXPECT_TRUE(m.OutputBuffer.empty());
    EXPECT_EQ(fs::file_size("out.bin"), 1000u);

    m.OutputChannel = nullptr;  // a record falling due with no channel open
    m.OutputBuffer.assign(999, 'x');
    m.CurrentSymbol = "a";
    m.PassCounter = 0;
    EXPECT_EQ(errorOf([&] { VrkEnc(m); }), 52);
}

TEST_F(Core, TextDecipheringOfCarriageReturnAddsALineFeedThatStartsTheNextRecord) {
    std::string key = "123456789";
    VrkGenTextKeys(m, key);
    PrepareCipher(m, kTextMode);
    LoadWheels(m, kTextMode);
    m.CurrentSymbol = "\r";
    m.PassCounter = 0;
    VrkDoEnc(m);
    const std::string cipherOfReturn = m.CurrentSymbol;

    LoadWheels(m, kTextMode);
    PrepareCipher(m, kTextMode);
    platform::File out("out.txt", platform::OpenMode::Random);
    m.OutputChannel = &out;
    m.OutputBuffer.assign(999, 'x');
    m.CurrentSymbol = cipherOfReturn;
    m.PassCounter = 0;
    VrkDec(m);
    EXPECT_EQ(m.OutputRecordNo, 1);
    EXPECT_EQ(m.OutputBuffer, "\n");
    EXPECT_EQ(readBytes("out.txt").back(), '\r');
    m.OutputChannel = nullptr;
}

TEST_F(Core, SymbolOutsideTheAlphabetFailsWithoutMovingTheWheels) {
    std::string key = "123456789";
    VrkGenTextKeys(m, key);
    PrepareCipher(m, kTextMode);
    LoadWheels(m, kTextMode);
    const auto before = m.Wheels;
    m.CurrentSymbol = "\t";
    m.PassCounter = 0;
    EXPECT_EQ(errorOf([&] { VrkDoEnc(m); }), 5);
    EXPECT_EQ(m.Wheels, before);
}

TEST_F(Core, BinaryCarriageReturnGetsNoLineFeed) {
    identityWheels(1);
    m.MasterThreshold = 1000;
    m.CurrentSymbol = "\r";
    m.PassCounter = 0;
    VrkDec(m);
    EXPECT_EQ(m.OutputBuffer, "\r");
}

}  // namespace
}  // namespace varkel::cipher
