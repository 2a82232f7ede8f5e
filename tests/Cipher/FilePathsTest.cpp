// Whole-file operations on every kernel this machine can run, against the literal reference:
// binary files to a new file and in place, text files, and files large enough for the cores
// to share.
#include "BothKeys.h"
#include "CipherStream.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "WheelEngine.h"

namespace varkel::cipher {
namespace {

using test::randomBytes;
using test::readBytes;
using test::writeBytes;

class FilesOnEachPath : public test::ScratchFolder, public ::testing::WithParamInterface<EnginePath> {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        if (!setEnginePath(GetParam())) GTEST_SKIP() << enginePathName(GetParam()) << " is not supported here";
        test::setUpBothKeys(m, kKey);
    }
    void TearDown() override {
        setEnginePath(EnginePath::Auto);
        ScratchFolder::TearDown();
    }
    void run(void (*op)(ModuleState&, std::string&), std::string cmd) { op(m, cmd); }
    static constexpr const char* kKey = "3141592653";
    ModuleState m;
};

TEST_P(FilesOnEachPath, BinaryFilesMatchTheLiteralAlgorithm) {
    const auto key = reference::setUp(kKey, false);
    for (size_t length : {0, 1, 63, 64, 65, 999, 1000, 1001, 20007}) {
        SCOPED_TRACE(length);
        const std::string plain = randomBytes(length, static_cast<uint32_t>(length) + 1);
        auto machine = reference::Machine::fromKey(key, false);
        const std::string cipher = reference::encipher(machine, plain);
        writeBytes("doc.bin", plain);
        run(VrkBinaryFileEnc, "doc.bin enc.bin");
        EXPECT_EQ(readBytes("enc.bin"), cipher);
        run(VrkBinaryFileEnc, "doc.bin");
        EXPECT_EQ(readBytes("doc.bin"), cipher);
        run(VrkBinaryFileDec, "enc.bin dec.bin");
        EXPECT_EQ(readBytes("dec.bin"), plain);
        run(VrkBinaryFileDec, "doc.bin");
        EXPECT_EQ(readBytes("doc.bin"), plain);
        EXPECT_EQ(m.OutputBuffer, plain.substr(length - length % 1000));
        std::remove("enc.bin");
        std::remove("dec.bin");
    }
}

TEST_P(FilesOnEachPath, TextFilesMatchTheLiteralAlgorithm) {
    // Lines with CR LF, and bytes that are dropped: silently (0, 10, 26) or counted (tab, 255).
    std::string plain;
    std::mt19937 rng(5);
    const std::string alphabet = reference::textAlphabet();
    while (plain.size() < 30000) {
        const int kind = static_cast<int>(rng() % 100);
        plain += kind == 0 ? '\t' : kind == 1 ? '\0' : kind == 2 ? '\x1a' : kind == 3 ? '\xff'
                 : kind < 8 ? '\n' : alphabet[rng() % alphabet.size()];
        if (kind >= 8 && kind < 11) plain += "\r\n";
    }
    std::string kept;
    for (char c : plain)
        if (c != '\0' && c != '\n' && c != '\x1a' && alphabet.find(c) != std::string::npos) kept += c;
    const auto key = reference::setUp(kKey, true);
    auto machine = reference::Machine::fromKey(key, true);
    const std::string cipher = reference::encipher(machine, kept);
    std::string lines;
    for (char c : kept) lines += c == '\r' ? std::string("\r\n") : std::string(1, c);

    writeBytes("doc.txt", plain);
    std::string cmd = "doc.txt";
    VrkTextFileEnc(m, cmd);
    const auto counted = std::count(plain.begin(), plain.end(), '\t') + std::count(plain.begin(), plain.end(), '\xff');
    EXPECT_EQ(cmd, " " + std::to_string(counted) + " errors detected");
    EXPECT_EQ(readBytes("doc.enc"), cipher);
    cmd = "doc.enc";
    VrkTextFileDec(m, cmd);
    EXPECT_EQ(cmd, "doc.enc");
    EXPECT_EQ(readBytes("doc.dec"), lines);
}

// A file large enough for the cores to share gives what the engine gives in small calls.
TEST_P(FilesOnEachPath, LargeBinaryFileMatchesSmallCalls) {
    const size_t length = WheelEngine::kParallelMinimum + 123;
    const std::string plain = randomBytes(length, 7);
    ModuleState state = m;
    PrepareCipher(state, kBinaryMode);
    LoadWheels(state, kBinaryMode);
    std::string expected = plain;
    CipherStream stream(state);
    for (size_t at = 0; at < length; at += 30011)
        stream.encipher(reinterpret_cast<uint8_t*>(expected.data()) + at, std::min<size_t>(30011, length - at));
    stream.finish();

    writeBytes("big.bin", plain);
    run(VrkBinaryFileEnc, "big.bin big.enc");
    ASSERT_EQ(readBytes("big.enc"), expected);
    run(VrkBinaryFileEnc, "big.bin");
    ASSERT_EQ(readBytes("big.bin"), expected);
    run(VrkBinaryFileDec, "big.bin");
    ASSERT_EQ(readBytes("big.bin"), plain);
    EXPECT_EQ(readBytes("k1.bcr"), readBytes("k1.brs"));
}

INSTANTIATE_TEST_SUITE_P(Paths, FilesOnEachPath, ::testing::Values(EnginePath::Scalar, EnginePath::Avx512),
                         [](const auto& info) { return std::string(enginePathName(info.param)); });

}  // namespace
}  // namespace varkel::cipher
