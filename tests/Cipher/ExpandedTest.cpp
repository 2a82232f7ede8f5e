// Expanded files: encryption with fillers and decryption back, in binary and text mode.
#include "BothKeys.h"
#include "Operations.h"
#include "TestSupport.h"
#include "VbError.h"

#include <filesystem>
#include <fstream>

namespace varkel::cipher {
namespace {

namespace fs = std::filesystem;
using Op = void (*)(ModuleState&, std::string&);

struct ModeOps {
    const char* name;
    Op enc;
    Op dec;
    const char* numbers;
    const char* state;
    const char* reset;
    const char* encWritten;
    const char* decWritten;
};

const ModeOps kBinary{"binary", VrkBExpandFileEnc, VrkBExpandFileDec, "k5.bin", "k1.bcr", "k1.brs",
                      "Expanded Binary File Written.", "Expanded Binary Decrypted File Written."};
const ModeOps kText{"text", VrkTExpandFileEnc, VrkTExpandFileDec, "k5.txt", "k1.tcr", "k1.trs",
                    "Expanded Text File Written.", "Expanded Text Decrypted File Written."};

class ExpandedTest : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        test::setUpBothKeys(m, "123456789");
    }

    std::string run(Op op, std::string cmd) {
        op(m, cmd);
        return cmd;
    }

    // N(1..20000) for the key's numbers in `file`.
    std::vector<int16_t> table(const char* file) {
        ModuleState t;
        std::ifstream in(file);
        for (int i = 1; i <= 10; ++i) in >> t.ExpansionNumbers[i];
        ConvertKeys(t);
        return t.ExpansionNumbers;
    }

    size_t expandedSize(const char* numbers, size_t symbols) {
        const auto N = table(numbers);
        size_t size = symbols;
        for (size_t i = 0; i < symbols; ++i) size += static_cast<size_t>(N[i % 20000 + 1]);
        return size;
    }

    bool stateIsReset(const ModeOps& mode) {
        return test::readBytes(mode.state) == test::readBytes(mode.reset);
    }

    ModuleState m;
};

TEST_F(ExpandedTest, BinaryRoundTripForSeveralLengths) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{999}, size_t{1000}, size_t{1001}, size_t{4321}}) {
        SCOPED_TRACE(length);
        const std::string plain = test::randomBytes(length, static_cast<uint32_t>(length));
        test::writeBytes("plain.bin", plain);
        EXPECT_EQ(run(kBinary.enc, "plain.bin exp.bin"), kBinary.encWritten);
        const std::string expanded = test::readBytes("exp.bin");
        EXPECT_EQ(expanded.size(), expandedSize("k5.bin", length));
        EXPECT_EQ(m.OutputRecordNo, static_cast<int32_t>(expanded.size() / 1000));
        EXPECT_EQ(m.OutputBuffer, expanded.substr(expanded.size() / 1000 * 1000));
        EXPECT_EQ(test::readBytes("plain.bin"), plain);
        EXPECT_TRUE(stateIsReset(kBinary));

        EXPECT_EQ(run(kBinary.dec, "exp.bin back.bin"), kBinary.decWritten);
        EXPECT_EQ(test::readBytes("back.bin"), plain);
        EXPECT_EQ(m.OutputRecordNo, static_cast<int32_t>(length / 1000));
        EXPECT_TRUE(m.OutputBuffer.empty());
        EXPECT_TRUE(stateIsReset(kBinary));
        EXPECT_FALSE(fs::exists("conv.enc"));
        EXPECT_EQ(fs::status("back.bin").permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
        fs::remove("back.bin");
    }
}

// The file format worked out step by step with the single cipher step: each symbol with the
// full pass count, then N(k) fillers (byte 57, or text position 34 "h") with one pass each.
TEST_F(ExpandedTest, FormatMatchesSingleStepsWithOnePassFillers) {
    struct Case {
        const ModeOps* mode;
        int cipherMode;
        char filler;
    };
    for (const Case& c : {Case{&kBinary, kBinaryMode, '9'}, Case{&kText, kTextMode, 'h'}}) {
        SCOPED_TRACE(c.mode->name);
        const std::string plain = "Fillers follow each symbol.";
        test::writeBytes("plain.txt", plain);
        run(c.mode->enc, "plain.txt exp.txt");

        const auto N = table(c.mode->numbers);
        ModuleState s;
        s.MasterTable = m.MasterTable;
        PrepareCipher(s, c.cipherMode);
        LoadWheels(s, c.cipherMode);
        std::string expected;
        const auto step = [&](char symbol, int16_t counter) {
            s.CurrentSymbol.assign(1, symbol);
            s.PassCounter = counter;
            VrkDoEnc(s);
            expected += s.CurrentSymbol;
        };
        for (size_t i = 0; i < plain.size(); ++i) {
            step(plain[i], 0);
            for (int f = 0; f < N[i + 1]; ++f) step(c.filler, static_cast<int16_t>(s.PassCount - 1));
        }
        EXPECT_EQ(test::readBytes("exp.txt"), expected);
    }
}

TEST_F(ExpandedTest, ExpandedFileDependsOnKeyAndHidesPlaintext) {
    const std::string plain(2000, 'A');
    test::writeBytes("plain.bin", plain);
    run(kBinary.enc, "plain.bin one.bin");
    run(kBinary.enc, "plain.bin two.bin");
    EXPECT_EQ(test::readBytes("one.bin"), test::readBytes("two.bin"));
    const std::string expanded = test::readBytes("one.bin");
    EXPECT_EQ(expanded.find(std::string(20, 'A')), std::string::npos);
    EXPECT_EQ(expanded.find(std::string(20, '9')), std::string::npos);
}

TEST_F(ExpandedTest, TextRoundTripDropsWhatTheAlphabetCannotCarry) {
    const std::string body = "Dear Sir,\r\nthe price is 12.50$ (net).\r\n\"Quoted\" line_two`\r\n";
    struct Case {
        std::string plain;
        std::string back;
    };
    const Case cases[] = {
        {"", ""},
        {"x", "x"},
        {body, body},
        {std::string("a\nb\x1A" "c") + '\0' + "d\te\x80" "f\r", "abcdef\r\n"},
        {std::string(333, 'q') + body + std::string(2000, 'Z'), std::string(333, 'q') + body + std::string(2000, 'Z')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plain.size());
        test::writeBytes("note.txt", c.plain);
        EXPECT_EQ(run(kText.enc, "note.txt note.exp"), kText.encWritten);
        size_t kept = 0;
        for (char ch : c.back) kept += ch != '\n';
        EXPECT_EQ(fs::file_size("note.exp"), expandedSize("k5.txt", kept));
        EXPECT_TRUE(stateIsReset(kText));
        EXPECT_EQ(run(kText.dec, "note.exp note.out"), kText.decWritten);
        EXPECT_EQ(test::readBytes("note.out"), c.back);
        EXPECT_TRUE(stateIsReset(kText));
        fs::remove("note.out");
    }
}

TEST_F(ExpandedTest, ReplaceModeAndOutputNames) {
    for (const ModeOps* mode : {&kBinary, &kText}) {
        SCOPED_TRACE(mode->name);
        const std::string plain = "Plain words\r\nand more 2024.\r\n";
        test::writeBytes("doc.txt", plain);
        EXPECT_EQ(run(mode->enc, "doc.txt"), "Original File Replaced with Expanded File.");
        EXPECT_GT(fs::file_size("doc.txt"), plain.size());
        EXPECT_FALSE(fs::exists("expand.dat"));
        EXPECT_EQ(run(mode->dec, "doc.txt"), "Original File Replaced with Decrypted File.");
        EXPECT_EQ(test::readBytes("doc.txt"), plain);
        EXPECT_FALSE(fs::exists("expand.dat"));

        // A number as word 2 is no name: replace mode. A name that looks like a number is a name.
        EXPECT_EQ(run(mode->enc, "doc.txt 7"), "Original File Replaced with Expanded File.");
        EXPECT_FALSE(fs::exists("7"));
        EXPECT_EQ(run(mode->dec, "doc.txt 2024.bin"), mode->decWritten);
        EXPECT_EQ(test::readBytes("2024.bin"), plain);
        EXPECT_GT(fs::file_size("doc.txt"), plain.size());

        // A quoted input name may hold blanks; naming the input as output replaces it.
        test::writeBytes("my doc.txt", plain);
        EXPECT_EQ(run(mode->enc, "\"my doc.txt\" \"my doc.txt\""), "Original File Replaced with Expanded File.");
        EXPECT_EQ(run(mode->dec, "\"my doc.txt\" out.txt"), mode->decWritten);
        EXPECT_EQ(test::readBytes("out.txt"), plain);
        EXPECT_TRUE(stateIsReset(*mode));
        fs::remove("2024.bin");
        fs::remove("out.txt");
    }
}

TEST_F(ExpandedTest, BadNumbersAreReportedAndNoFileIsTouched) {
    for (const ModeOps* mode : {&kBinary, &kText}) {
        SCOPED_TRACE(mode->name);
        const std::string good = test::readBytes(mode->numbers);
        test::writeBytes(mode->numbers, "8\r\n9\r\n100\r\n10\r\n11\r\n12\r\n-1\r\n13\r\n14\r\n20\r\n");
        test::writeBytes("doc.txt", "abc");
        test::writeBytes("out.txt", "old");
        for (Op op : {mode->enc, mode->dec}) {
            EXPECT_EQ(run(op, "doc.txt out.txt"), "Error - Bad Numbers #3#7");
            EXPECT_EQ(run(op, "doc.txt"), "Error - Bad Numbers #3#7");
            EXPECT_EQ(test::readBytes("doc.txt"), "abc");
            EXPECT_EQ(test::readBytes("out.txt"), "old");
            EXPECT_FALSE(fs::exists("expand.dat"));
            EXPECT_FALSE(fs::exists("conv.enc"));
        }
        test::writeBytes(mode->numbers, good);
    }
}

TEST_F(ExpandedTest, LeftoverScratchFileIsRemovedFirst) {
    const std::string plain = test::randomBytes(1500, 21);
    test::writeBytes("plain.bin", plain);
    run(kBinary.enc, "plain.bin exp.bin");
    test::writeBytes("conv.enc", test::randomBytes(9000, 22));
    EXPECT_EQ(run(kBinary.dec, "exp.bin back.bin"), kBinary.decWritten);
    EXPECT_EQ(test::readBytes("back.bin"), plain);
    EXPECT_FALSE(fs::exists("conv.enc"));
}

TEST_F(ExpandedTest, FailureLeavesWheelStateAtItsReset) {
    test::writeBytes("note.txt", std::string(50, 'k'));
    run(kText.enc, "note.txt note.exp");
    // Put a byte outside the text alphabet at the third real symbol.
    const auto N = table("k5.txt");
    std::string expanded = test::readBytes("note.exp");
    expanded[static_cast<size_t>(N[1] + 1 + N[2] + 1)] = '\x80';
    test::writeBytes("note.exp", expanded);
    try {
        run(kText.dec, "note.exp note.out");
        FAIL() << "decryption accepted a symbol outside the alphabet";
    } catch (const platform::VbError& e) {
        EXPECT_EQ(e.number(), 5);
    }
    EXPECT_TRUE(stateIsReset(kText));
}

// A decryption that fails far into the file keeps the whole records it wrote before.
TEST_F(ExpandedTest, FailureKeepsTheRecordsWrittenBefore) {
    std::string plain;
    while (plain.size() < 3000) plain += "one line of text\r\n";
    test::writeBytes("note.txt", plain);
    run(kText.enc, "note.txt note.exp");
    const auto N = table("k5.txt");
    struct Case {
        size_t failing;  // 0-based real symbol that is spoiled
        size_t kept;     // output bytes that stay
    };
    // 1100 symbols give 1100 + 64 line feeds: one record. 999 symbols give 1058 bytes.
    for (const Case c : {Case{1100, 1000}, Case{999, 1000}, Case{900, 0}, Case{0, 0}}) {
        std::string expanded = test::readBytes("note.exp");
        size_t at = c.failing;
        for (size_t k = 1; k <= c.failing; ++k) at += static_cast<size_t>(N[k]);
        expanded[at] = '\x80';
        test::writeBytes("spoilt.exp", expanded);
        EXPECT_EQ(test::errorOf([&] { run(kText.dec, "spoilt.exp note.out"); }), 5) << c.failing;
        EXPECT_EQ(test::readBytes("note.out"), plain.substr(0, c.kept)) << c.failing;
        EXPECT_TRUE(stateIsReset(kText));
        fs::remove("note.out");
        // Replacing the input, the part written is scratch: it is wiped, the input stays.
        EXPECT_EQ(test::errorOf([&] { run(kText.dec, "spoilt.exp"); }), 5) << c.failing;
        EXPECT_EQ(test::readBytes("spoilt.exp"), expanded);
        EXPECT_FALSE(fs::exists("expand.dat"));
        EXPECT_FALSE(fs::exists("Vrkdec.dat"));
    }
}

TEST_F(ExpandedTest, DecryptionRecordsThePlaintextName) {
    test::writeBytes("doc.bin", test::randomBytes(500, 4));
    run(VrkBExpandFileEnc, "doc.bin");
    run(VrkBExpandFileDec, "doc.bin plain.bin");
    run(VrkBExpandFileDec, "doc.bin");  // replace mode: the input now holds the plaintext
    EXPECT_EQ(test::readBytes("Vrkdec.dat"), "plain.bin" + std::string(71, ' ') + "doc.bin" + std::string(73, ' '));
}

}  // namespace
}  // namespace varkel::cipher
