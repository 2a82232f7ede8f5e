// Machine A's file-system client dies while its launcher has a document open in the
// application. When the launcher lives on, it ends instead of hanging and keeps the edit
// encrypted in its working folder, the document locked. When the machine went down with it
// (the launcher killed too), A's next start, once its share is mounted again, finishes the
// cycle with the edit. Meanwhile machine B is refused the document. It runs in a share of its
// own, since machine A's mount is replaced.
#include "ShareLaunchers.h"

#include "DocumentCycle.h"
#include "LockList.h"

#include <algorithm>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;

const std::string kReport = "N:\\Docs\\report.txt";
const std::string kSaved = "the report saved before the crash";

// The file-system client that serves `mountPoint` now (an earlier test may have mounted it
// again), 0 when none is found.
pid_t clientOf(const fs::path& mountPoint) {
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::string words = readBytes(entry.path() / "cmdline");
        std::replace(words.begin(), words.end(), '\0', ' ');
        if (words.starts_with("sshfs ") && (words + " ").find(" " + mountPoint.string() + " ") != std::string::npos)
            return std::stoi(name);
    }
    return 0;
}

class KilledMountClient : public ShareLaunchers {
protected:
    void SetUp() override {
        ShareLaunchers::SetUp();
        if (IsSkipped()) return;
        VARKEL_NEEDS_FRESH_CONTENTS();
        encryptOnServer("Docs/report.txt", "the report");
    }
    // Starts A's launcher on the report and kills A's client once the application has saved
    // its edit and runs on; the launcher, still running.
    pid_t killClientWhileTheApplicationRuns() {
        writeBytes(local() / "linger", "");
        const pid_t launcher = startLauncher(machine(0), kReport, " saved before the crash");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!fs::exists(local() / "app.pid") && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(fs::exists(local() / "app.pid")) << readBytes(local() / "launcher.err");
        const pid_t client = clientOf(machine(0).mount);
        EXPECT_GT(client, 0);
        if (client > 0) ::kill(client, SIGKILL);
        std::error_code dead;
        for (int i = 0; i < 100 && !dead; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(10)))
            (void)fs::status(machine(0).mount / "Docs", dead);
        EXPECT_TRUE(dead) << "machine A's mount still answers";
        fs::remove(local() / "linger");
        return launcher;
    }
    void expectRefusedOnB() {
        const Run refused = runLauncher(machine(1), kReport, " too early");
        EXPECT_NE(refused.said.find(std::string("message: ") + user::kInUseMessage), std::string::npos)
            << refused.said;
    }
    void mountAAgain() {
        ASSERT_EQ(std::system(shareVariable("A_REMOUNT").c_str()), 0);
        ASSERT_NE(readBytes("/proc/self/mounts").find(" " + machine(0).mount.string() + " "), std::string::npos);
    }
};

TEST_F(KilledMountClient, ALauncherThatLivesOnKeepsTheEditEncryptedAndTheLock) {
    const pid_t launcher = killClientWhileTheApplicationRuns();
    EXPECT_EQ(waitForExit(launcher), 0) << "hung or failed on the dead mount";
    const std::string said = readBytes(local() / "launcher.err");
    EXPECT_NE(said.find("message: Your changes to N:\\Docs\\report.txt could not be written back"), std::string::npos)
        << said;
    EXPECT_NE(said.find("the document stays locked"), std::string::npos) << said;
    mountAAgain();
    expectRefusedOnB();

    // Nothing is lost: the edit waits, encrypted, beside the unchanged document.
    fs::copy_file(machine(0).work / "report.txt.vrk", server() / "Docs" / "kept.vrk");
    EXPECT_EQ(decryptOnServer("Docs/kept.vrk"), kSaved);
    EXPECT_EQ(decryptOnServer("Docs/report.txt"), "the report");
    EXPECT_EQ(readBytes(server() / "Locked.dat"), kReport + "\r\n");
    EXPECT_FALSE(fs::exists(server() / shared::ListGuard::kFileName));
}

TEST_F(KilledMountClient, AfterTheMachineWentDownItsNextStartKeepsTheEdit) {
    const pid_t launcher = killClientWhileTheApplicationRuns();
    ::kill(launcher, SIGKILL);
    EXPECT_EQ(waitForExit(launcher), -SIGKILL);
    ::kill(std::stoi(readBytes(local() / "app.pid")), SIGKILL);
    expectRefusedOnB();

    mountAAgain();
    const Run next = runLauncher(machine(0), kReport, " next on A");
    EXPECT_EQ(next.status, 0) << next.said;
    EXPECT_NE(next.said.find("The launcher was ended while N:\\Docs\\report.txt was open."), std::string::npos)
        << next.said;
    const Run onB = runLauncher(machine(1), kReport, " then on B");
    EXPECT_EQ(onB.status, 0) << onB.said;
    EXPECT_EQ(decryptOnServer("Docs/report.txt"), kSaved + " next on A then on B");
    EXPECT_EQ(readBytes(server() / "Locked.dat"), "");
    EXPECT_FALSE(fs::exists(server() / shared::ListGuard::kFileName));
    for (const ShareMachine& m : machines()) EXPECT_EQ(leftInWorkingFolder(m), std::vector<std::string>{}) << m.name;
}

}  // namespace
}  // namespace varkel::test
