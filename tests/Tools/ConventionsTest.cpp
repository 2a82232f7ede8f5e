// What people and scripts expect of vrk as a command: the version and help, the key from
// standard input, Windows-style names through the drive map, quiet runs and interruption.
#include "ChildProcess.h"
#include "KeyFiles.h"
#include "TestSupport.h"
#include "VarkelSDK.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace varkel {
namespace {

namespace fs = std::filesystem;
using test::ChildProcess;
using test::Outcome;
using test::randomBytes;
using test::readBytes;
using test::runVrk;
using test::writeBytes;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

bool keyFilesLeft() { return !test::leftKeyFiles().empty(); }

class VrkConventions : public test::ScratchFolder {};

TEST_F(VrkConventions, VersionAndHelpGoToStandardOutput) {
    const Outcome version = runVrk("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.rfind("vrk (Varkel) 2.", 0) == 0) << version.out;
    EXPECT_EQ(version.out.back(), '\n');
    EXPECT_EQ(version.err, "");

    const Outcome call = runVrk("call --help");
    EXPECT_EQ(call.status, 0) << call.err;
    EXPECT_EQ(call.err, "");
    EXPECT_TRUE(call.out.rfind("usage: vrk call [--hex] OP", 0) == 0) << call.out;
    for (const auto& op : kSdkOperations)
        EXPECT_TRUE(contains(call.out, std::string("\n  ") + op.name + (op.takesString() ? " STRING\n" : "\n")))
            << op.name;
    EXPECT_FALSE(fs::exists("k1.bin"));

    // The key options warn about the process list and name standard input.
    const Outcome encrypt = runVrk("encrypt --help");
    EXPECT_EQ(encrypt.status, 0);
    EXPECT_TRUE(contains(encrypt.out, "can read it in the process\n                    list")) << encrypt.out;
    EXPECT_TRUE(contains(encrypt.out, "with '-' the key is the first line of standard input")) << encrypt.out;
    EXPECT_TRUE(contains(encrypt.out, "-q, --quiet")) << encrypt.out;

    const Outcome none = runVrk("");
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.out, "");
    EXPECT_TRUE(none.err.rfind("usage: vrk", 0) == 0) << none.err;
}

TEST_F(VrkConventions, TheKeyComesFromStandardInput) {
    const std::string plain = randomBytes(5000, 21);
    writeBytes("direct.bin", plain);
    ASSERT_EQ(runVrk("encrypt --key 271828 direct.bin").status, 0);
    const std::string expected = readBytes("direct.bin");

    const struct {
        const char* input;
        int status;
        const char* error;
    } cases[] = {
        {"271828\n", 0, ""},
        {"  271828 \r\n999\n", 0, ""},  // key.dat piped in: the first line, blanks and CR off
        {"271828", 0, ""},              // no line end at all
        {"", 1, "vrk: standard input: no key was given (--key-file - reads its first line)\n"},
        {"\n271828\n", 1, "vrk: standard input: the first line is not a key of decimal digits\n"},
        {"2718x28\n", 1, "vrk: standard input: the first line is not a key of decimal digits\n"},
    };
    for (const auto& c : cases) {
        writeBytes("piped.bin", plain);
        const Outcome o = runVrk("encrypt --key-file - piped.bin", c.input);
        EXPECT_EQ(o.status, c.status) << c.input;
        EXPECT_EQ(o.err, c.error) << c.input;
        EXPECT_EQ(o.out, "") << c.input;
        EXPECT_EQ(readBytes("piped.bin"), c.status == 0 ? expected : plain) << c.input;
        EXPECT_FALSE(keyFilesLeft()) << c.input;
    }
}

TEST_F(VrkConventions, WindowsStyleNamesGoThroughTheDriveMap) {
    const fs::path share = mapNetworkDrive("Docs");
    writeBytes(share / "key.dat", "4711\r\n");
    const std::string plain = randomBytes(3000, 22);
    writeBytes(share / "Docs" / "Report.doc", plain);

    // Names match without regard to letter case, with either separator.
    Outcome o = runVrk("encrypt --key-file 'N:\\key.dat' 'N:\\docs\\report.DOC'");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out + o.err, "");
    EXPECT_NE(readBytes(share / "Docs" / "Report.doc"), plain);
    o = runVrk("decrypt --key-file N:/key.dat N:/Docs/Report.doc -o 'N:\\Docs\\back.doc'");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(readBytes(share / "Docs" / "back.doc"), plain);

    // C: is the host root.
    const std::string hostKey = (share / "key.dat").string();
    std::string onC = "C:" + hostKey;
    std::replace(onC.begin(), onC.end(), '/', '\\');
    o = runVrk("decrypt --key-file '" + onC + "' 'N:\\Docs\\Report.doc'");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(readBytes(share / "Docs" / "Report.doc"), plain);

    // A text file's output lies beside it and is named the way the input was.
    writeBytes(share / "Docs" / "note.txt", "Dear all\r\n");
    o = runVrk("text-encrypt --key 4711 'N:\\Docs\\note.txt'");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.out, "N:\\Docs\\note.txt -> N:\\Docs\\note.enc\n");
    EXPECT_TRUE(fs::exists(share / "Docs" / "note.enc"));

    const struct {
        const char* args;
        const char* error;
    } failures[] = {
        {"encrypt --key 1 'Q:\\Docs\\a.doc'", "vrk: Q:\\Docs\\a.doc: Path not found (error 76)\n"},
        {"encrypt --key-file 'Q:\\key.dat' 'N:\\Docs\\back.doc'", "vrk: Q:\\key.dat: Path not found (error 76)\n"},
        {"encrypt --key 1 'N:\\Docs\\missing.doc'", "vrk: N:\\Docs\\missing.doc: File not found (error 53)\n"},
        {"encrypt --key 1 'N:\\Nowhere\\a.doc'", "vrk: N:\\Nowhere\\a.doc: Path not found (error 76)\n"},
    };
    for (const auto& f : failures) {
        o = runVrk(f.args);
        EXPECT_EQ(o.status, 1) << f.args;
        EXPECT_EQ(o.err, f.error) << f.args;
        EXPECT_EQ(o.out, "") << f.args;
    }
    EXPECT_EQ(readBytes(share / "Docs" / "back.doc"), plain);
    EXPECT_FALSE(fs::exists(share / "Docs" / "missing.doc"));
}

TEST_F(VrkConventions, QuietLeavesOutReportsButNotWarnings) {
    for (const char* args : {"-q text-encrypt --key 77 a.txt", "text-encrypt --quiet --key 77 a.txt"}) {
        writeBytes("a.txt", "plain\r\n\x01");
        fs::remove("a.enc");
        const Outcome o = runVrk(args);
        EXPECT_EQ(o.status, 0) << args << ": " << o.err;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_EQ(o.err, "vrk: a.txt: dropped 1 character(s) outside the text alphabet\n") << args;
        EXPECT_TRUE(fs::exists("a.enc")) << args;
    }
    const Outcome call = runVrk("-q call VrkGenBinaryKeys 1");
    EXPECT_EQ(call.status, 2);
    EXPECT_EQ(call.out, "");
    EXPECT_TRUE(contains(call.err, "-q does not apply to 'vrk call'")) << call.err;
    EXPECT_FALSE(fs::exists("k1.bin"));
    const Outcome valued = runVrk("wipe --quiet=yes a.txt");
    EXPECT_EQ(valued.status, 2);
    EXPECT_TRUE(fs::exists("a.txt"));
}

// Waits until `test` holds, for a minute at most.
template <typename Test>
void waitFor(Test test) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!test() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
}

// True once no signal waits for the process any more: two signals of one kind sent together
// would arrive as one.
bool noSignalPending(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("ShdPnd:", 0) == 0) return line.find_first_not_of("0\t ", 7) == std::string::npos;
    return true;  // gone
}

// Starts `vrk ARGS` and sends it `signals`, one after the other has been taken, once its key
// set-up has begun.
Outcome interruptDuringWork(const std::string& args, std::initializer_list<int> signals) {
    ChildProcess vrk(std::string(VRK_BINARY) + " " + args);
    waitFor([] { return fs::exists("k1.bin"); });
    for (int signal : signals) {
        waitFor([&] { return noSignalPending(vrk.pid()); });
        ::kill(vrk.pid(), signal);
    }
    return vrk.finish();
}

class VrkInterrupted : public test::ScratchFolder {
protected:
    // Files large enough that the run is still at work when the signal arrives.
    static constexpr int kFiles = 16;
    static constexpr size_t kSize = size_t{4} << 20;
    void SetUp() override {
        test::ScratchFolder::SetUp();
        plain_ = randomBytes(kSize, 23);
        for (int i = 0; i < kFiles; ++i) writeBytes(name(i), plain_);
    }
    static std::string name(int i) { return "doc" + std::to_string(i) + ".bin"; }
    // Whole-file reads in one piece: these files are large.
    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::string bytes(fs::file_size(file), '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return bytes;
    }
    std::string allNames() const {
        std::string names;
        for (int i = 0; i < kFiles; ++i) names += ' ' + name(i);
        return names;
    }
    std::string plain_;
};

TEST_F(VrkInterrupted, OneInterruptStopsBeforeTheNextFileDestroysTheKeysAndExits130) {
    for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}}) {
        const Outcome o = interruptDuringWork("encrypt --key 31337" + allNames(), {signal});
        EXPECT_EQ(o.status, status) << o.err;
        EXPECT_TRUE(contains(o.err, "vrk: interrupted")) << o.err;
        EXPECT_EQ(o.out, "");
        EXPECT_FALSE(keyFilesLeft());
        // Each file is encrypted whole or untouched; the last one was not reached.
        EXPECT_EQ(contents(name(kFiles - 1)), plain_);
        for (int i = 0; i < kFiles; ++i) {
            if (contents(name(i)) == plain_) continue;
            ASSERT_EQ(runVrk("decrypt -q --key 31337 " + name(i)).status, 0);
            EXPECT_EQ(contents(name(i)), plain_) << name(i);
        }
    }
}

TEST_F(VrkInterrupted, ASecondInterruptQuitsAtOnceAndSaysHowToDestroyTheKeys) {
    // A large first file keeps the run at work between the two interrupts.
    fs::resize_file(name(0), size_t{160} << 20);
    const Outcome o = interruptDuringWork("encrypt --key 31337" + allNames(), {SIGINT, SIGINT});
    EXPECT_EQ(o.status, 130) << o.err;
    EXPECT_TRUE(contains(o.err, "run 'vrk shutdown' here")) << o.err;
    EXPECT_EQ(contents(name(kFiles - 1)), plain_);
    const Outcome shutdown = runVrk("shutdown");
    EXPECT_EQ(shutdown.status, 0) << shutdown.err;
    EXPECT_FALSE(keyFilesLeft());
}

}  // namespace
}  // namespace varkel
