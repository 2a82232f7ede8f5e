#include "BothKeys.h"
#include "Alphabet.h"
#include "CipherStream.h"
#include "FileWork.h"
#include "LiteralCipher.h"
#include "Module.h"
#include "Operations.h"
#include "TestSupport.h"
#include "VbError.h"

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

namespace varkel::cipher {
namespace {

using test::randomBytes;
using test::errorOf;
using test::readBytes;
using test::writeBytes;
namespace fs = std::filesystem;

class FileOps : public test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        test::setUpBothKeys(m, kKey);
    }
    void encrypt(std::string cmd) { VrkBinaryFileEnc(m, cmd); }
    void decrypt(std::string cmd) { VrkBinaryFileDec(m, cmd); }
    std::vector<std::string> decryptedList() {
        std::vector<std::string> names;
        const std::string list = readBytes("Vrkdec.dat");
        for (size_t at = 0; at < list.size(); at += 80) {
            std::string name = list.substr(at, 80);
            name.erase(name.find_last_not_of(' ') + 1);
            names.push_back(name);
        }
        return names;
    }
    static constexpr const char* kKey = "2718281828";
    ModuleState m;
};

TEST_F(FileOps, BinaryFilesRoundTripAtEveryLengthInPlaceAndToANewFile) {
    for (size_t length : {0, 1, 999, 1000, 1001, 3000, 3500, (1 << 20) + 5}) {
        SCOPED_TRACE(length);
        const std::string plain = randomBytes(length, static_cast<uint32_t>(length));
        writeBytes("doc.bin", plain);
        encrypt("doc.bin enc.bin");
        const std::string cipher = readBytes("enc.bin");
        ASSERT_EQ(cipher.size(), length);
        EXPECT_EQ(readBytes("doc.bin"), plain);
        EXPECT_EQ(m.OutputRecordNo, static_cast<int32_t>(length / 1000));
        EXPECT_EQ(m.OutputBuffer, cipher.substr(length - length % 1000));
        encrypt("doc.bin");  // in place gives the same bytes
        ASSERT_EQ(readBytes("doc.bin"), cipher);
        decrypt("doc.bin");
        ASSERT_EQ(readBytes("doc.bin"), plain);
        decrypt("enc.bin dec.bin");
        ASSERT_EQ(readBytes("dec.bin"), plain);
        EXPECT_EQ(readBytes("k1.bcr"), readBytes("k1.brs"));
    }
}

TEST_F(FileOps, ADocumentEncryptedInPlaceKeepsItsMode) {
    writeBytes("doc.bin", "shared document");
    ASSERT_EQ(::chmod("doc.bin", 0640), 0);
    encrypt("doc.bin");
    struct stat st {};
    ASSERT_EQ(::stat("doc.bin", &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

// Files of several blocks: each block is read, enciphered and written by turns, also in place.
// The in-memory engine (held to the literal algorithm by the engine tests) gives the expected
// bytes.
TEST_F(FileOps, FilesOfSeveralBlocksMatchTheEngineInMemory) {
    const size_t length = 3 * kCipherBlock + 5;
    const std::string plain = randomBytes(length, 41);
    std::string expected = plain;
    {
        ModuleState e = m;
        PrepareCipher(e, kBinaryMode);
        LoadWheels(e, kBinaryMode);
        CipherStream stream(e);
        stream.encipher(reinterpret_cast<uint8_t*>(expected.data()), expected.size());
    }
    writeBytes("doc.bin", plain);
    encrypt("doc.bin enc.bin");
    ASSERT_TRUE(readBytes("enc.bin") == expected);
    encrypt("doc.bin");
    ASSERT_TRUE(readBytes("doc.bin") == expected);
    EXPECT_EQ(m.OutputBuffer, expected.substr(length - length % 1000));
    decrypt("doc.bin");
    EXPECT_TRUE(readBytes("doc.bin") == plain);

    // Text: lines end in CR LF; encryption drops the line feeds, decryption puts them back.
    std::string alphabet = textAlphabet();
    std::erase(alphabet, '\r');
    std::mt19937 rng(42);
    std::string text;
    while (text.size() < length) {
        for (int i = 0; i < 70; ++i) text += alphabet[rng() % alphabet.size()];
        text += "\r\n";
    }
    std::string kept;
    for (char c : text)
        if (c != '\n') kept += c;
    {
        ModuleState e = m;
        PrepareCipher(e, kTextMode);
        LoadWheels(e, kTextMode);
        CipherStream stream(e);
        stream.encipher(reinterpret_cast<uint8_t*>(kept.data()), kept.size());
    }
    writeBytes("long.txt", text);
    std::string cmd = "long.txt";
    VrkTextFileEnc(m, cmd);
    ASSERT_TRUE(readBytes("long.enc") == kept);
    cmd = "long.enc";
    VrkTextFileDec(m, cmd);
    EXPECT_TRUE(readBytes("long.dec") == text);
}

TEST_F(FileOps, EncryptionMatchesTheLiteralAlgorithm) {
    const std::string plain = randomBytes(7777, 3);
    writeBytes("doc.bin", plain);
    encrypt("doc.bin");
    auto ref = reference::Machine::fromKey(reference::setUp(kKey, false), false);
    EXPECT_EQ(readBytes("doc.bin"), reference::encipher(ref, plain));
}

TEST_F(FileOps, ALongerOutputFileLosesItsOldTail) {
    writeBytes("doc.bin", "short plaintext");
    writeBytes("out.bin", std::string(5000, 'Z'));
    encrypt("doc.bin out.bin");
    EXPECT_EQ(fs::file_size("out.bin"), 15u);
    decrypt("out.bin back.bin");
    EXPECT_EQ(readBytes("back.bin"), "short plaintext");
}

TEST_F(FileOps, NamesWithBlanksPassWhenQuoted) {
    fs::create_directory("My Docs");
    writeBytes("My Docs/a b.doc", "quoted name");
    encrypt("\"My Docs\\a b.doc\" out file.doc");  // the output name may hold blanks anyway
    decrypt("\"out file.doc\" \"plain copy.doc\"");
    EXPECT_EQ(readBytes("plain copy.doc"), "quoted name");
    encrypt("\"My Docs\\a b.doc\"");  // in place
    EXPECT_NE(readBytes("My Docs/a b.doc"), "quoted name");
    writeBytes("in.bin", "x");
    encrypt("in.bin   ");  // trailing blanks: one name, in place
    EXPECT_FALSE(fs::exists("in.bin  "));
}

TEST_F(FileOps, DecryptionListsEachOutputNameOnce) {
    writeBytes("a.bin", "data");
    decrypt("a.bin report.docx");
    decrypt("a.bin report.docx");
    decrypt("a.bin report.doc");  // a leading part of a listed name is a name of its own
    const std::string longName(90, 'n');
    decrypt("a.bin " + longName);
    EXPECT_EQ(decryptedList(), (std::vector<std::string>{"report.docx", "report.doc", longName.substr(0, 80)}));
    encrypt("a.bin c.bin");
    EXPECT_EQ(decryptedList().size(), 3u);
}

// The records are blank-padded, so trailing blanks cannot make a second entry.
TEST_F(FileOps, TrailingBlanksDoNotMakeASecondListEntry) {
    for (const char* name : {"a.doc  ", "a.doc", "a.doc "}) UpdateDecFile(m, name);
    EXPECT_EQ(readBytes("Vrkdec.dat"), "a.doc" + std::string(75, ' '));
    UpdateDecFile(m, " a.doc");  // leading blanks are part of the name
    EXPECT_EQ(decryptedList(), (std::vector<std::string>{"a.doc", " a.doc"}));
}

TEST_F(FileOps, MissingInputGivesAnEmptyOutput) {
    encrypt("missing.bin out.bin");
    EXPECT_EQ(fs::file_size("out.bin"), 0u);
    EXPECT_EQ(fs::file_size("missing.bin"), 0u);
}

TEST_F(FileOps, FailureLeavesTheWheelStateAndTheListAlone) {
    writeBytes("doc.bin", "abc");
    fs::remove("k2.bin");
    EXPECT_EQ(errorOf([&] { decrypt("doc.bin out.bin"); }), 53);
    EXPECT_FALSE(fs::exists("Vrkdec.dat"));
    EXPECT_EQ(readBytes("k1.bcr"), readBytes("k1.brs"));
    std::string cmd = "doc.bin no\\such\\folder\\out.bin";
    writeBytes("k2.bin", "20 2\r\n");
    EXPECT_EQ(errorOf([&] { VrkBinaryFileEnc(m, cmd); }), 76);
    EXPECT_EQ(readBytes("doc.bin"), "abc");
}

TEST_F(FileOps, AFullDiskIsReportedAsDiskFull) {
    writeBytes("big.bin", randomBytes(300000, 5));
    const pid_t child = ::fork();
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100000, 100000};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        std::string cmd = "big.bin out.bin";
        ::_exit(errorOf([&] { VrkBinaryFileDec(m, cmd); }));
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 61);
    EXPECT_FALSE(fs::exists("Vrkdec.dat"));
}

TEST_F(FileOps, TextFilesRoundTripAndNameTheirOutputs) {
    const std::string text = "Dear reader,\r\nthe \xE9t\xE9 report follows.\r\n\r\nEnd.\r\n";
    fs::create_directory("my.docs");
    writeBytes("my.docs/letter.txt", text);
    std::string cmd = "my.docs\\letter.txt";
    VrkTextFileEnc(m, cmd);
    EXPECT_EQ(cmd, "my.docs\\letter.txt");  // no errors, no report
    ASSERT_TRUE(fs::exists("my.enc"));  // the first dot counts, even in a folder name
    EXPECT_EQ(fs::file_size("my.enc"), text.size() - 4);  // the four line feeds
    cmd = "my.enc";
    VrkTextFileDec(m, cmd);
    EXPECT_EQ(readBytes("my.dec"), text);
    EXPECT_EQ(decryptedList(), std::vector<std::string>{"my.dec"});
    writeBytes("README", "plain");
    cmd = "README";
    VrkTextFileEnc(m, cmd);
    EXPECT_TRUE(fs::exists("README.enc"));
}

TEST_F(FileOps, TextCharactersOutsideTheAlphabetAreCountedAndDropped) {
    writeBytes("notes.txt", std::string("tab\there\nlone feed\x1a") + '\0' + "\x80!");
    std::string cmd = "notes.txt";
    VrkTextFileEnc(m, cmd);
    EXPECT_EQ(cmd, " 2 errors detected");  // the tab and byte 128; 0, 10 and 26 are dropped silently
    cmd = "notes.enc";
    VrkTextFileDec(m, cmd);
    EXPECT_EQ(readBytes("notes.dec"), "tabherelone feed!");
    // Decryption counts everything outside the alphabet, line feeds included.
    writeBytes("plain.enc", "a\r\nb");
    cmd = "plain.enc";
    VrkTextFileDec(m, cmd);
    EXPECT_EQ(cmd, " 1 errors detected");
}

TEST_F(FileOps, TextInputOfItsOwnOutputNameIsRefused) {
    writeBytes("notes.dec", "precious");
    std::string cmd = "notes.dec";
    EXPECT_EQ(errorOf([&] { VrkTextFileDec(m, cmd); }), 5);
    EXPECT_EQ(readBytes("notes.dec"), "precious");
    cmd = "NOTES.DEC";
    EXPECT_EQ(errorOf([&] { VrkTextFileDec(m, cmd); }), 5);
    EXPECT_EQ(readBytes("notes.dec"), "precious");
}

TEST_F(FileOps, TextNameIsCutAtFiftyCharactersAndOldOutputIsReplaced) {
    const std::string name = std::string(46, 'a') + ".txt";  // exactly 50 characters
    writeBytes(name, "x\r\n");
    writeBytes(std::string(46, 'a') + ".enc", std::string(3000, 'o'));
    std::string cmd = name + "ignored";
    VrkTextFileEnc(m, cmd);
    EXPECT_EQ(fs::file_size(std::string(46, 'a') + ".enc"), 2u);
}

}  // namespace
}  // namespace varkel::cipher
