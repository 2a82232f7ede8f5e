// The console on machine B encrypts a new folder and converts every document to a new key
// while launchers on machine A go on opening documents: at the end every document decrypts
// under the current key, with every edit the launchers saved. The conversion does not start
// while a launcher holds a document, so it is tried again until the launchers are between
// cycles; meanwhile they are refused the documents the conversion holds.
#include "ShareLaunchers.h"

#include "Conversion.h"
#include "FolderEncryption.h"
#include "LockList.h"
#include "SystemFiles.h"

#include <algorithm>
#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;

constexpr int kNewDocuments = 20;
const std::string kNewKey = "987654321";

std::string original(const std::string& name) { return "the first text of " + name; }

class ConsoleOnShare : public ShareLaunchers {
protected:
    void SetUp() override {
        ShareLaunchers::SetUp();
        if (IsSkipped()) return;
        VARKEL_NEEDS_FRESH_CONTENTS();
        for (const char* name : {"doc0.txt", "doc1.txt"}) encryptOnServer(std::string("Docs/") + name, original(name));
        writeBytes(server() / "Files.dat", "N:\\Docs\\doc0.txt\r\nN:\\Docs\\doc1.txt\r\n");
        fs::create_directories(server() / "New");
        for (int i = 0; i < kNewDocuments; ++i)
            writeBytes(server() / "New" / newName(i), original(newName(i)) + randomBytes(4096, i));
        // The console works as machine B: its drive map and working folder.
        fs::remove_all(machine(1).work);
        fs::create_directories(machine(1).work);
        writeBytes(machine(1).work / "network.dat", "N:\\\r\n");
        const char* config = std::getenv("XDG_CONFIG_HOME");
        previousConfig_ = config == nullptr ? "" : config;
        ::setenv("XDG_CONFIG_HOME", machine(1).config.c_str(), 1);
        fs::current_path(machine(1).work);
        consoleStarted_ = true;
    }
    void TearDown() override {
        if (consoleStarted_) {
            ::setenv("XDG_CONFIG_HOME", previousConfig_.c_str(), 1);
            fs::current_path(testFolder());
        }
        ShareLaunchers::TearDown();
    }
    static std::string newName(int i) { return "new" + std::to_string(i) + ".txt"; }

    // Launchers on machine A, one after another on doc0 and doc1, until `stop` appears.
    pid_t startLaunchersOnA(const fs::path& stop) {
        const fs::path loop = local() / "launchers.sh";
        writeBytes(loop, "#!/bin/sh\ncd \"$1\" || exit 2\ni=0\nwhile [ ! -e \"$4\" ]; do\n  i=$((i + 1))\n"
                         "  \"$2\" \"$3\" \"N:\\\\Docs\\\\doc$((i % 2)).txt\" || exit 1\ndone\n");
        ::chmod(loop.c_str(), 0755);
        writeBytes(local() / "next-edit", " edit");
        writeBytes(local() / "slow", "");  // holds each document a while, so the conversion meets locks
        return spawn({loop.string(), machine(0).work.string(), machine(0).run.string(), LAUNCHER_DRIVER, stop.string()},
                     local() / "launchers.err");
    }
    // The conversion, started again while a launcher holds a document.
    std::optional<admin::ConversionJournal> beginConversionBetweenCycles() {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < until) {
            admin::ConversionStart start = admin::beginConversion("N:\\", kShareKey, kNewKey, false);
            if (start.journal) return start.journal;
            ++refusals_;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return std::nullopt;
    }
    int editsOf(const std::string& name) const {
        const std::string log = readBytes(local() / "edits.log");
        std::istringstream lines(log);
        int count = 0;
        for (std::string line; std::getline(lines, line);) count += line == name ? 1 : 0;
        return count;
    }
    int refusals_ = 0;

private:
    bool consoleStarted_ = false;
    std::string previousConfig_;
};

TEST_F(ConsoleOnShare, EveryDocumentDecryptsUnderTheCurrentKeyWhileLaunchersWork) {
    const fs::path stop = local() / "stop";
    const pid_t launchers = startLaunchersOnA(stop);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    const admin::FolderPlan plan = admin::planFolder("N:\\New\\", "N:\\", shared::readLines("N:\\Files.dat"));
    ASSERT_EQ(plan.toEncrypt.size(), static_cast<size_t>(kNewDocuments));
    EXPECT_EQ(admin::runEncryption(admin::beginEncryption("N:\\", kShareKey, plan.toEncrypt)),
              static_cast<size_t>(kNewDocuments));

    std::optional<admin::ConversionJournal> journal = beginConversionBetweenCycles();
    ASSERT_TRUE(journal.has_value()) << "the launchers never let the conversion start";
    const admin::ConversionResult converted = admin::runConversion(std::move(*journal));
    EXPECT_EQ(converted.converted, kNewDocuments + 2);
    EXPECT_TRUE(converted.unreachable.empty()) << ::testing::PrintToString(converted.unreachable);

    // The launchers go on under the new key for a while.
    const int editsAtConversion = editsOf("doc0.txt") + editsOf("doc1.txt");
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (editsOf("doc0.txt") + editsOf("doc1.txt") < editsAtConversion + 2 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    writeBytes(stop, "");
    EXPECT_EQ(waitForExit(launchers), 0) << readBytes(local() / "launchers.err");

    EXPECT_EQ(shared::readFirstEntry("N:\\key.dat"), kNewKey);
    for (int i = 0; i < kNewDocuments; ++i)
        EXPECT_EQ(decryptOnServer("New/" + newName(i), kNewKey), original(newName(i)) + randomBytes(4096, i)) << i;
    for (const std::string name : {"doc0.txt", "doc1.txt"}) {
        std::string expected = original(name);
        for (int e = 0; e < editsOf(name); ++e) expected += " edit";
        EXPECT_EQ(decryptOnServer("Docs/" + name, kNewKey), expected) << name;
    }
    EXPECT_GE(editsOf("doc0.txt") + editsOf("doc1.txt"), editsAtConversion + 2) << "no launcher worked after it";
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "");
    EXPECT_EQ(shared::readLines("N:\\Files.dat").size(), static_cast<size_t>(kNewDocuments + 2));
    EXPECT_FALSE(fs::exists(server() / shared::ListGuard::kFileName));
    std::cout << "conversion refused " << refusals_ << " times, launchers saved "
              << editsOf("doc0.txt") + editsOf("doc1.txt") << " edits\n";
}

// Runs `command` in a child process that is killed (-9) right after its `step`th step: the
// console killed with its workers busy on the share. True when it died so.
bool killedAtStep(int step, const std::function<void(std::function<void(std::string_view)>)>& command) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        int steps = 0;
        command([&](std::string_view) {
            if (++steps == step) ::raise(SIGKILL);
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

// The console killed part-way through a folder encryption, and then through a conversion, on
// the share: its next start finishes each, and every document ends under the key once,
// listed once, with no scratch copy left beside it.
TEST_F(ConsoleOnShare, AConsoleKilledPartWayIsFinishedByItsNextStart) {
    const admin::FolderPlan plan = admin::planFolder("N:\\New\\", "N:\\", shared::readLines("N:\\Files.dat"));
    ASSERT_TRUE(killedAtStep(40, [&](auto afterStep) {
        admin::EncryptionHooks hooks;
        hooks.afterStep = afterStep;
        admin::runEncryption(admin::beginEncryption("N:\\", kShareKey, plan.toEncrypt), hooks);
    }));
    auto encryption = admin::findInterruptedEncryption();
    ASSERT_TRUE(encryption.has_value());
    admin::runEncryption(std::move(*encryption));
    for (int i = 0; i < kNewDocuments; ++i)
        EXPECT_EQ(decryptOnServer("New/" + newName(i)), original(newName(i)) + randomBytes(4096, i)) << i;
    EXPECT_EQ(shared::readLines("N:\\Files.dat").size(), static_cast<size_t>(kNewDocuments + 2));

    ASSERT_TRUE(killedAtStep(60, [](auto afterStep) {
        admin::ConversionHooks hooks;
        hooks.afterStep = afterStep;
        admin::runConversion(*admin::beginConversion("N:\\", kShareKey, kNewKey, false).journal, hooks);
    }));
    auto conversion = admin::findInterruptedConversion();
    ASSERT_TRUE(conversion.has_value());
    EXPECT_EQ(admin::runConversion(std::move(*conversion)).unreachable, std::vector<std::string>{});
    EXPECT_EQ(shared::readFirstEntry("N:\\key.dat"), kNewKey);
    for (int i = 0; i < kNewDocuments; ++i)
        EXPECT_EQ(decryptOnServer("New/" + newName(i), kNewKey), original(newName(i)) + randomBytes(4096, i)) << i;
    for (const std::string name : {"doc0.txt", "doc1.txt"})
        EXPECT_EQ(decryptOnServer("Docs/" + name, kNewKey), original(name)) << name;
    EXPECT_EQ(shared::readLines("N:\\Files.dat").size(), static_cast<size_t>(kNewDocuments + 2));
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "");
    for (const auto& entry : fs::recursive_directory_iterator(server()))
        EXPECT_EQ(entry.path().string().find(platform::kScratchSuffix), std::string::npos) << entry.path();
}

}  // namespace
}  // namespace varkel::test
