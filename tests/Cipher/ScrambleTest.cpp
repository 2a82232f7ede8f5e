// Block reversal of files: plain and key-driven scrambles.
#include "Operations.h"
#include "TestSupport.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

namespace varkel::cipher {
namespace {

namespace fs = std::filesystem;

std::string reversed(std::string s) {
    std::reverse(s.begin(), s.end());
    return s;
}

class ScrambleTest : public test::ScratchFolder {
protected:
    // The file's name as a Windows path on drive C:, which maps to the host root.
    std::string windowsName(const std::string& name) const {
        std::string path = (work() / name).string();
        std::replace(path.begin(), path.end(), '/', '\\');
        return "C:" + path;
    }
    std::string scramble(std::string cmd) {
        VrkScrambleFile(m, cmd);
        return cmd;
    }
    ModuleState m;
};

TEST_F(ScrambleTest, OneBlockReversesTheWholeFileAndBack) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{25}, (size_t{5} << 19) + 3}) {
        const std::string original = test::randomBytes(length, 3);
        test::writeBytes("a.bin", original);
        const std::string cmd = "1:0:" + windowsName("a.bin");
        EXPECT_EQ(scramble(cmd), cmd);
        EXPECT_EQ(test::readBytes("a.bin"), reversed(original)) << length;
        EXPECT_FALSE(fs::exists("turnabot.dat"));
        scramble(cmd);
        EXPECT_EQ(test::readBytes("a.bin"), original) << length;
    }
}

TEST_F(ScrambleTest, TheReversedCopyIsWipedNotJustDeleted) {
    test::writeBytes("a.bin", "secret plaintext");
    test::writeBytes("turnabot.dat", "");
    fs::create_hard_link("turnabot.dat", "copy-seen-by-the-disk");
    scramble("1:0:a.bin");
    EXPECT_FALSE(fs::exists("turnabot.dat"));
    const std::string left = test::readBytes("copy-seen-by-the-disk");
    EXPECT_EQ(left.find_first_not_of(' '), std::string::npos) << left;
}

TEST_F(ScrambleTest, LeadingBlocksOfTwentyFiveByteFile) {
    const std::string original = "ABCDEFGHIJKLMNOPQRSTUVWXY";
    struct Case {
        const char* numbers;
        const char* answer;  // nullptr: the command comes back unchanged
        std::string content;
    };
    const Case cases[] = {
        {"2:10:", nullptr, "JIHGFEDCBATSRQPONMLKUVWXY"},
        {"3:10:", "Error - Number of Blocks/BlockSize exceeds Filesize", original},
        {"0:10:", "Error - Numeric info passed invalid.", original},
        {"2:0:", "Error - Numeric info passed invalid.", original},
        {"5:5:", nullptr, "EDCBAJIHGFONMLKTSRQPYXWVU"},
        {"2.5:10:", nullptr, "JIHGFEDCBATSRQPONMLKUVWXY"},  // 2.5 rounds to 2
    };
    for (const Case& c : cases) {
        test::writeBytes("b.bin", original);
        const std::string cmd = std::string(c.numbers) + "b.bin";
        EXPECT_EQ(scramble(cmd), c.answer ? c.answer : cmd) << c.numbers;
        EXPECT_EQ(test::readBytes("b.bin"), c.content) << c.numbers;
    }
}

TEST_F(ScrambleTest, BlocksLargerThanOneBufferAndManySmallBlocks) {
    const size_t big = (size_t{3} << 19) + 7;
    const std::string original = test::randomBytes(2 * big + 11, 5);
    test::writeBytes("c.bin", original);
    scramble("2:" + std::to_string(big) + ":c.bin");
    EXPECT_EQ(test::readBytes("c.bin"),
              reversed(original.substr(0, big)) + reversed(original.substr(big, big)) + original.substr(2 * big));

    std::string expected;
    for (size_t k = 0; k < 300000; ++k) expected += reversed(original.substr(k * 7, 7));
    test::writeBytes("c.bin", original);
    scramble("300000:7:c.bin");
    EXPECT_EQ(test::readBytes("c.bin"), expected + original.substr(expected.size()));
}

TEST_F(ScrambleTest, MissingFileWithOneBlockLeavesEmptyFile) {
    scramble("1:0:new.bin");
    EXPECT_TRUE(fs::exists("new.bin"));
    EXPECT_EQ(fs::file_size("new.bin"), 0u);
}

// Key-driven scramble with a hand-written k6.dat.
class XScrambleTest : public ScrambleTest {
protected:
    void SetUp() override {
        ScrambleTest::SetUp();
        writeNumbers({8, 22, 14, 9, 20, 11, 13, 21, 10, 12});
    }
    void writeNumbers(const std::array<int, 10>& numbers) {
        std::string text;
        for (int n : numbers) text += std::to_string(n) + "\r\n";
        test::writeBytes("k6.dat", text);
    }
    std::string xscramble(std::string cmd) {
        VrkXScrambleFile(m, cmd);
        return cmd;
    }
    // Block lengths from the table, worked out apart from the operation's streaming.
    std::string expectedScramble(const std::string& data) {
        ModuleState t;
        const int16_t numbers[10] = {8, 22, 14, 9, 20, 11, 13, 21, 10, 12};
        std::copy(numbers, numbers + 10, t.ExpansionNumbers.begin() + 1);
        ConvertKeys(t);
        // Byte by byte as the block loop is written, positions from 1: byte t of a block is
        // taken while pos + t <= L, where pos has already moved on by the bytes taken.
        const size_t length = data.size();
        std::string out(length, '\0');
        size_t pos = 1;
        for (int j = 0; pos <= length;) {
            j = j == 20000 ? 1 : j + 1;
            const size_t start = pos;
            const int number = t.ExpansionNumbers[j];
            if (number == 1) {
                out[start - 1] = data[start - 1];
                pos = start + 1;
                continue;
            }
            std::string block;
            for (int k = 0; k < number; ++k) {
                if (pos + static_cast<size_t>(k) <= length) block += data[pos++ - 1];
            }
            out.replace(start - 1, block.size(), reversed(block));
        }
        return out;
    }
};

TEST_F(XScrambleTest, ReplaceModeIsItsOwnInverse) {
    for (size_t length : {size_t{0}, size_t{1}, size_t{5000}, size_t{1100003}}) {
        const std::string original = test::randomBytes(length, 9);
        test::writeBytes("doc.bin", original);
        EXPECT_EQ(xscramble("doc.bin"), "Original File Replaced with Scrambled File.");
        EXPECT_EQ(test::readBytes("doc.bin"), expectedScramble(original)) << length;
        EXPECT_FALSE(fs::exists("expand.dat"));
        EXPECT_EQ(xscramble("doc.bin"), "Original File Replaced with Scrambled File.");
        EXPECT_EQ(test::readBytes("doc.bin"), original) << length;
    }
}

// The blocks near the end of a file take at most half of what is left: with the numbers of
// key 123456789 "abcde" keeps "a", reverses "bc" and keeps "d" and "e".
TEST_F(XScrambleTest, BlocksNearTheEndTakeWhatTheByteLoopAdmits) {
    std::string key = "123456789";
    VrkGenBinaryKeys(m, key);
    struct Case {
        const char* plain;
        const char* scrambled;
    };
    const Case cases[] = {{"abcde", "acbde"}, {"ab", "ab"}, {"abc", "abc"}, {"abcd", "acbd"}};
    for (const Case& c : cases) {
        test::writeBytes("x.bin", c.plain);
        EXPECT_EQ(xscramble("x.bin y.bin"), "Scrambled File Written.");
        EXPECT_EQ(test::readBytes("y.bin"), c.scrambled) << c.plain;
        EXPECT_EQ(xscramble("y.bin z.bin"), "Scrambled File Written.");
        EXPECT_EQ(test::readBytes("z.bin"), c.plain);
        fs::remove("y.bin");
        fs::remove("z.bin");
    }
}

TEST_F(XScrambleTest, OutputNamesIncludingNumericAndQuotedOnes) {
    const std::string original = test::randomBytes(3001, 11);
    struct Case {
        const char* cmd;
        const char* input;
        const char* output;
    };
    const Case cases[] = {
        {"in.bin out.bin", "in.bin", "out.bin"},
        {"in.bin 2024.bin", "in.bin", "2024.bin"},
        {"\"my file.bin\" out.bin", "my file.bin", "out.bin"},
    };
    for (const Case& c : cases) {
        test::writeBytes(c.input, original);
        test::writeBytes(c.output, std::string(5000, 'x'));  // a longer old output is replaced
        EXPECT_EQ(xscramble(c.cmd), "Scrambled File Written.") << c.cmd;
        EXPECT_EQ(test::readBytes(c.input), original) << c.cmd;
        EXPECT_EQ(test::readBytes(c.output), expectedScramble(original)) << c.cmd;
        EXPECT_EQ(fs::status(c.output).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
        fs::remove(c.output);
    }
}

TEST_F(XScrambleTest, NumericSecondWordAndSameNameMeanReplace) {
    const std::string original = test::randomBytes(777, 12);
    for (const char* cmd : {"doc.bin 5", "doc.bin doc.bin"}) {
        test::writeBytes("doc.bin", original);
        EXPECT_EQ(xscramble(cmd), "Original File Replaced with Scrambled File.") << cmd;
        EXPECT_EQ(test::readBytes("doc.bin"), expectedScramble(original)) << cmd;
        EXPECT_FALSE(fs::exists("5"));
    }
}

TEST_F(XScrambleTest, BadNumbersAreReportedAndNothingChanges) {
    struct Case {
        std::array<int, 10> numbers;
        const char* answer;
    };
    const Case cases[] = {
        {{8, 22, 14, 100, 20, 11, 13, 21, 10, 12}, "Error - Bad Numbers #4"},
        {{8, 22, -1, 9, 20, 11, 200, 21, 10, 12}, "Error - Bad Numbers #3#7"},
    };
    for (const Case& c : cases) {
        writeNumbers(c.numbers);
        test::writeBytes("doc.bin", "payload");
        test::writeBytes("out.bin", "old output");
        EXPECT_EQ(xscramble("doc.bin out.bin"), c.answer);
        EXPECT_EQ(test::readBytes("doc.bin"), "payload");
        EXPECT_EQ(test::readBytes("out.bin"), "old output");
        EXPECT_EQ(xscramble("doc.bin"), c.answer);
        EXPECT_EQ(test::readBytes("doc.bin"), "payload");
        EXPECT_FALSE(fs::exists("expand.dat"));
    }
}

}  // namespace
}  // namespace varkel::cipher
