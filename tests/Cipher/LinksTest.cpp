// Links and special files where the library writes, and operations that check before they
// change anything.
#include "BothKeys.h"
#include "Operations.h"
#include "TestSupport.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <functional>
#include <thread>

namespace varkel::cipher {
namespace {

namespace fs = std::filesystem;
using test::errorOf;
using test::readBytes;
using test::writeBytes;
using Op = void (*)(ModuleState&, std::string&);

constexpr const char* kKey = "123456789";

class Links : public test::ScratchFolder {
protected:
    void run(Op op, std::string cmd) { op(m, cmd); }
    std::string answer(Op op, std::string cmd) {
        op(m, cmd);
        return cmd;
    }
    // A file outside the working folder that a link may point at.
    fs::path victim() const { return root() / "victim.txt"; }
    mode_t modeOf(const fs::path& file) const {
        struct stat st {};
        EXPECT_EQ(::lstat(file.c_str(), &st), 0) << file;
        return st.st_mode & 07777;
    }
    ModuleState m;
};

// One name the library writes and the operation that writes it.
struct Written {
    const char* name;
    bool keysFirst;  // whether the keys are set up before the link is planted
    std::function<void(ModuleState&)> op;
};

std::vector<Written> everyWrittenName() {
    const auto genBinary = [](ModuleState& m) {
        std::string key = kKey;
        VrkGenBinaryKeys(m, key);
    };
    const auto genText = [](ModuleState& m) {
        std::string key = kKey;
        VrkGenTextKeys(m, key);
    };
    const auto call = [](Op op, const char* cmd) {
        return [op, cmd](ModuleState& m) {
            std::string c = cmd;
            op(m, c);
        };
    };
    std::vector<Written> cases;
    for (const char* name : {"k1.bin", "k1.brs", "k1.bcr", "k2.bin", "k3.bin", "k4.bin", "k5.bin", "k6.dat"})
        cases.push_back({name, false, genBinary});
    for (const char* name : {"k1.txt", "k1.trs", "k1.tcr", "k2.txt", "k3.txt", "k4.txt", "k5.txt"})
        cases.push_back({name, false, genText});
    cases.push_back({"Vrkdec.dat", true, call(VrkBinaryFileDec, "doc.bin plain.bin")});
    cases.push_back({"out.bin", true, call(VrkBinaryFileEnc, "doc.bin out.bin")});
    cases.push_back({"doc.enc", true, call(VrkTextFileEnc, "doc.txt")});
    cases.push_back({"exp.bin", true, call(VrkTExpandFileEnc, "doc.txt exp.bin")});
    cases.push_back({"xs.bin", true, call(VrkXScrambleFile, "doc.bin xs.bin")});
    cases.push_back({"turnabot.dat", true, call(VrkScrambleFile, "1:0:doc.bin")});
    cases.push_back({"expand.dat", true, call(VrkXScrambleFile, "doc.bin")});
    cases.push_back({"expand.dat", true, call(VrkBExpandFileEnc, "doc.bin")});
    cases.push_back({"conv.enc", true, call(VrkBExpandFileDec, "doc.bin plain.bin")});
    cases.push_back({"wiped.bin", true, call(VrkKillFile, "wiped.bin")});
    return cases;
}

// Existing and dangling links under every name: error 75, the target untouched or not made,
// the link and the documents as they were.
TEST_F(Links, NoNameTheLibraryWritesIsFollowed) {
    for (const Written& c : everyWrittenName()) {
        for (const bool dangling : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (dangling ? " dangling" : " to a file"));
            for (const auto& entry : fs::directory_iterator(work())) fs::remove_all(entry.path());
            fs::remove(victim());
            if (c.keysFirst) test::setUpBothKeys(m, kKey);
            writeBytes("doc.bin", "document");
            writeBytes("doc.txt", "text document");
            if (!dangling) writeBytes(victim(), "victim");
            fs::create_symlink(victim(), c.name);
            EXPECT_EQ(errorOf([&] { c.op(m); }), 75);
            EXPECT_TRUE(fs::is_symlink(c.name));
            if (dangling) {
                EXPECT_FALSE(fs::exists(victim()));
            } else {
                EXPECT_EQ(readBytes(victim()), "victim");
            }
            EXPECT_EQ(readBytes("doc.bin"), "document");
            EXPECT_EQ(readBytes("doc.txt"), "text document");
            EXPECT_FALSE(fs::exists("plain.bin"));
        }
    }
}

TEST_F(Links, ExistingScratchFilesBecomeOwnerOnlyBeforeKeysGoIn) {
    const char* names[] = {"k1.bin", "k1.brs", "k1.bcr", "k2.bin", "k3.bin", "k4.bin", "k5.bin", "k6.dat"};
    for (const char* name : names) {
        writeBytes(name, "");
        fs::permissions(name, fs::perms(0644));
    }
    std::string key = kKey;
    VrkGenBinaryKeys(m, key);
    for (const char* name : names) {
        EXPECT_EQ(modeOf(name), 0600u) << name;
        EXPECT_GT(fs::file_size(name), 0u) << name;
    }
}

// Runs `op` in a child process and returns its error number, or -1 when it has not ended
// within ten seconds (the child is then killed).
int errorWithin10s(const std::function<int()>& op) {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(op());
    for (int waited = 0; waited < 1000; ++waited) {
        int status = 0;
        if (::waitpid(child, &status, WNOHANG) == child) return WIFEXITED(status) ? WEXITSTATUS(status) : -2;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    return -1;
}

TEST_F(Links, SpecialFilesAreRefusedWithoutWaiting) {
    test::setUpBothKeys(m, kKey);
    writeBytes("doc.bin", "document");
    fs::create_directory("folder");
    ASSERT_EQ(::mkfifo("fifo", 0600), 0);
    struct Case {
        const char* what;
        Op op;
        const char* cmd;
        const char* replaced;  // a scratch file put aside for the FIFO, or nullptr
    };
    const Case cases[] = {
        {"FIFO in place of k2.bin", VrkBinaryFileEnc, "doc.bin", "k2.bin"},
        {"FIFO in place of k1.bcr", VrkBinaryFileEnc, "doc.bin", "k1.bcr"},
        {"FIFO in place of k5.bin", VrkBExpandFileEnc, "doc.bin out.bin", "k5.bin"},
        {"FIFO as the input", VrkBinaryFileEnc, "fifo out.bin", nullptr},
        {"FIFO as the output", VrkBinaryFileEnc, "doc.bin fifo", nullptr},
        {"FIFO as the text input", VrkTextFileEnc, "fifo", nullptr},
        {"device as the input", VrkBinaryFileEnc, "C:\\dev\\zero out.bin", nullptr},
        {"device as the output", VrkBinaryFileDec, "doc.bin C:\\dev\\null", nullptr},
        {"folder as the output", VrkXScrambleFile, "doc.bin folder", nullptr},
        {"FIFO to be wiped", VrkKillFile, "fifo", nullptr},
        {"FIFO to be scrambled", VrkScrambleFile, "1:0:fifo", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.replaced) {
            fs::rename(c.replaced, "aside");
            ASSERT_EQ(::mkfifo(c.replaced, 0600), 0);
        }
        EXPECT_EQ(errorWithin10s([&] { return errorOf([&] { run(c.op, c.cmd); }); }), 75);
        if (c.replaced) {
            fs::remove(c.replaced);
            fs::rename("aside", c.replaced);
        }
        EXPECT_EQ(readBytes("doc.bin"), "document");
        EXPECT_FALSE(fs::exists("out.bin"));
        EXPECT_EQ(fs::status("fifo").type(), fs::file_type::fifo);
    }
}

// A document may be a link: reading it is fine, and changing it in place changes the file the
// link names while the link stays a link.
TEST_F(Links, DocumentsMayBeLinksAndKeepThem) {
    test::setUpBothKeys(m, kKey);
    const std::string plain = test::randomBytes(2500, 7);
    writeBytes(victim(), plain);
    fs::permissions(victim(), fs::perms(0640));
    fs::create_symlink(victim(), "link.doc");

    run(VrkBinaryFileEnc, "link.doc copy.enc");
    const std::string cipher = readBytes("copy.enc");
    EXPECT_NE(cipher, plain);
    run(VrkBinaryFileEnc, "link.doc");
    EXPECT_TRUE(fs::is_symlink("link.doc"));
    EXPECT_EQ(readBytes(victim()), cipher);
    run(VrkBinaryFileDec, "link.doc");
    EXPECT_EQ(readBytes(victim()), plain);

    struct Case {
        Op op;
        const char* answer;
    };
    for (const Case c : {Case{VrkXScrambleFile, "Original File Replaced with Scrambled File."},
                         Case{VrkBExpandFileEnc, "Original File Replaced with Expanded File."},
                         Case{VrkBExpandFileDec, "Original File Replaced with Decrypted File."},
                         Case{VrkXScrambleFile, "Original File Replaced with Scrambled File."}}) {
        EXPECT_EQ(answer(c.op, "link.doc"), c.answer);
        EXPECT_TRUE(fs::is_symlink("link.doc"));
        EXPECT_EQ(modeOf(victim()), 0640u);
    }
    EXPECT_EQ(readBytes(victim()), plain);
    run(VrkScrambleFile, "1:0:link.doc");
    EXPECT_TRUE(fs::is_symlink("link.doc"));
    EXPECT_EQ(readBytes(victim()), std::string(plain.rbegin(), plain.rend()));
}

// Whatever an operation needs is checked before the first byte of a document or an output
// changes: a failure leaves both as they were.
TEST_F(Links, FailuresComeBeforeAnyChange) {
    struct Case {
        const char* what;
        Op op;
        const char* cmd;
        std::function<void()> spoil;
        int error;
    };
    const auto shorten = [](const char* file) { return [file] { writeBytes(file, readBytes(file).substr(0, 300)); }; };
    const auto remove = [](const char* file) { return [file] { fs::remove(file); }; };
    const Case cases[] = {
        {"short k1.brs, in place", VrkBinaryFileEnc, "doc.bin", shorten("k1.brs"), 62},
        {"missing k1.brs, in place", VrkBinaryFileDec, "doc.bin", remove("k1.brs"), 62},
        {"short k1.brs, to a file", VrkBinaryFileEnc, "doc.bin old.bin", shorten("k1.brs"), 62},
        {"short k1.trs", VrkTextFileEnc, "doc.txt", shorten("k1.trs"), 62},
        {"short k1.brs, expanded", VrkBExpandFileEnc, "doc.bin old.bin", shorten("k1.brs"), 62},
        {"missing k2.bin, expanded", VrkBExpandFileEnc, "doc.bin old.bin", remove("k2.bin"), 53},
        {"missing k2.bin, expanded in place", VrkBExpandFileDec, "doc.bin", remove("k2.bin"), 53},
        {"folder as the input, expanded", VrkBExpandFileEnc, "sub old.bin", [] { fs::create_directory("sub"); }, 75},
        {"folder as the input, scramble", VrkXScrambleFile, "sub old.bin", [] { fs::create_directory("sub"); }, 75},
        {"link as the decrypted list", VrkBExpandFileDec, "doc.bin old.bin",
         [] { fs::create_symlink("elsewhere", "Vrkdec.dat"); }, 75},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (const auto& entry : fs::directory_iterator(work())) fs::remove_all(entry.path());
        test::setUpBothKeys(m, kKey);
        writeBytes("doc.bin", "document");
        writeBytes("doc.txt", "text document");
        writeBytes("doc.enc", "old text output");
        writeBytes("old.bin", "old output");
        c.spoil();
        EXPECT_EQ(errorOf([&] { run(c.op, c.cmd); }), c.error);
        EXPECT_EQ(readBytes("doc.bin"), "document");
        EXPECT_EQ(readBytes("doc.txt"), "text document");
        EXPECT_EQ(readBytes("doc.enc"), "old text output");
        EXPECT_EQ(readBytes("old.bin"), "old output");
        EXPECT_FALSE(fs::exists("expand.dat"));
    }
}


// A replacement is a rename from the working folder: a document on another file system is
// refused before any work, not after it.
TEST_F(Links, ReplacingADocumentOnAnotherFileSystemIsRefusedFirst) {
    const fs::path elsewhere = "/dev/shm";
    struct stat here {}, there {};
    if (::stat(".", &here) != 0 || ::stat(elsewhere.c_str(), &there) != 0 || here.st_dev == there.st_dev)
        GTEST_SKIP() << "no second file system at " << elsewhere;
    test::setUpBothKeys(m, kKey);
    const fs::path document = elsewhere / ("varkel-" + std::to_string(::getpid()) + ".doc");
    writeBytes(document, "document");
    const std::string name = "C:" + document.string();
    for (Op op : {VrkXScrambleFile, VrkBExpandFileEnc, VrkTExpandFileEnc, VrkBExpandFileDec}) {
        EXPECT_EQ(errorOf([&] { run(op, name); }), 75);
        EXPECT_EQ(readBytes(document), "document");
        EXPECT_FALSE(fs::exists("expand.dat"));
        EXPECT_FALSE(fs::exists("Vrkdec.dat"));
    }
    run(VrkXScrambleFile, name + " copy.bin");  // with an output name nothing is renamed
    EXPECT_TRUE(fs::exists("copy.bin"));
    fs::remove(document);
}

}  // namespace
}  // namespace varkel::cipher
