#include "BothKeys.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "VbError.h"

namespace varkel::cipher {
namespace {

using test::errorOf;
using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class StringOps : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        test::setUpBothKeys(m, kKey);
    }
    static constexpr const char* kKey = "3141592653";
    ModuleState m;
};

TEST_F(StringOps, BinaryRoundTripsEveryLengthAndMatchesTheReference) {
    const auto material = reference::setUp(kKey, false);
    for (size_t length : {0, 1, 2, 255, 999, 1000, 1001, 5000}) {
        const std::string plain = test::randomBytes(length, static_cast<uint32_t>(length));
        std::string text = plain;
        VrkBEnc(m, text);
        auto ref = reference::Machine::fromKey(material, false);
        ASSERT_EQ(text, reference::encipher(ref, plain)) << length;
        ASSERT_EQ(text.size(), length);
        VrkBDec(m, text);
        ASSERT_EQ(text, plain) << length;
    }
}

TEST_F(StringOps, EveryOperationStartsFromTheInitialWheels) {
    std::string a = "same input", b = "same input";
    VrkBEnc(m, a);
    VrkBEnc(m, b);
    EXPECT_EQ(a, b);
    EXPECT_EQ(readBytes("k1.bcr"), readBytes("k1.brs"));
    std::string pair = "xx";
    std::string single = "x";
    VrkBEnc(m, pair);
    VrkBEnc(m, single);
    EXPECT_EQ(pair[0], single[0]);
}

TEST_F(StringOps, TextDropsLineFeedsAndRestoresThemAfterCarriageReturns) {
    const auto material = reference::setUp(kKey, true);
    std::string text = std::string("first line\r\nsecond line\x1a") + '\0';
    VrkTEnc(m, text);
    auto ref = reference::Machine::fromKey(material, true);
    EXPECT_EQ(text, reference::encipher(ref, "first line\rsecond line"));
    VrkTDec(m, text);
    EXPECT_EQ(text, "first line\r\nsecond line");
    EXPECT_EQ(readBytes("k1.tcr"), readBytes("k1.trs"));
}

TEST_F(StringOps, SymbolOutsideTheAlphabetLeavesTheStringAndTheStateFile) {
    std::string text = "tab\there";
    EXPECT_EQ(errorOf([&] { VrkTEnc(m, text); }), 5);
    EXPECT_EQ(text, "tab\there");
    EXPECT_EQ(readBytes("k1.tcr"), readBytes("k1.trs"));
    std::string cipher = std::string("ab") + static_cast<char>(0x80);
    EXPECT_EQ(errorOf([&] { VrkTDec(m, cipher); }), 5);
    EXPECT_EQ(cipher, std::string("ab") + static_cast<char>(0x80));
}

TEST_F(StringOps, EmptyStringStaysEmpty) {
    std::string text;
    VrkBEnc(m, text);
    EXPECT_TRUE(text.empty());
    VrkTDec(m, text);
    EXPECT_TRUE(text.empty());
}

TEST_F(StringOps, MissingOrShortSchemeFilesFailWithTheirNumbers) {
    std::string text = "abc";
    fs::remove("k2.bin");
    EXPECT_EQ(errorOf([&] { VrkBEnc(m, text); }), 53);
    writeBytes("k4.txt", "1\r\n2\r\n");
    EXPECT_EQ(errorOf([&] { VrkTEnc(m, text); }), 62);
    EXPECT_EQ(text, "abc");
}

// The result replaces the string before the wheels are saved and reset, in both modes: a
// reset copy that fails leaves the enciphered string in place.
TEST_F(StringOps, FailingResetComesAfterTheStringIsReplaced) {
    struct Case {
        const char* name;
        void (*op)(ModuleState&, std::string&);
        bool text;
        const char* input;
    };
    const Case cases[] = {
        {"VrkBEnc", VrkBEnc, false, "dQ"},
        {"VrkBDec", VrkBDec, false, "dQ"},
        {"VrkTEnc", VrkTEnc, true, "d\nQ"},
        {"VrkTDec", VrkTDec, true, "dQ"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const char* reset = c.text ? "k1.trs" : "k1.brs";
        const char* current = c.text ? "k1.tcr" : "k1.bcr";
        const std::string saved = readBytes(reset);
        std::string expected = c.input;
        c.op(m, expected);
        writeBytes(reset, saved.substr(0, saved.size() / 2));
        std::string text = c.input;
        EXPECT_EQ(errorOf([&] { c.op(m, text); }), 62);
        EXPECT_EQ(text, expected);
        EXPECT_NE(text, c.input);
        writeBytes(reset, saved);
        writeBytes(current, saved);
    }
}

TEST_F(StringOps, ShortWheelStateIsRefusedRatherThanReadAsBlankWheels) {
    writeBytes("k1.bcr", readBytes("k1.bcr").substr(0, 256 * 19));
    std::string text = "abc";
    EXPECT_EQ(errorOf([&] { VrkBEnc(m, text); }), 62);
    EXPECT_EQ(text, "abc");
}

TEST_F(StringOps, FileCheckReportsNonEmptyFilesAndLeavesNoEmptyOne) {
    m.CheckFileName = "missing.bin";
    VrkFileCheck(m);
    EXPECT_EQ(m.CheckFileFound, 0);
    EXPECT_FALSE(fs::exists("missing.bin"));
    writeBytes("empty.bin", "");
    m.CheckFileName = "empty.bin";
    VrkFileCheck(m);
    EXPECT_FALSE(fs::exists("empty.bin"));
    writeBytes("full.bin", "x");
    m.CheckFileName = "FULL.BIN";  // names match without regard to case
    VrkFileCheck(m);
    EXPECT_EQ(m.CheckFileFound, 1);
    EXPECT_EQ(readBytes("full.bin"), "x");
}

}  // namespace
}  // namespace varkel::cipher
