// Full document cycles with the real launcher window on both machines of the share, each
// reaching the server as its own account: every edit is kept, and the document stays
// readable and writable for both accounts. A launcher killed in the middle of a cycle leaves
// the document locked for the other machine until its next start finishes the cycle.
#include "ShareLaunchers.h"

#include "DocumentCycle.h"
#include "LockList.h"

#include <grp.h>

namespace varkel::test {
namespace {

namespace fs = std::filesystem;

const std::string kDocument = "N:\\Docs\\report.txt";
const std::string kOriginal = "the report as it began";

class ShareCycles : public ShareLaunchers {
protected:
    void SetUp() override {
        ShareLaunchers::SetUp();
        if (IsSkipped()) return;
        VARKEL_NEEDS_FRESH_CONTENTS();
        encryptOnServer("Docs/report.txt", kOriginal);
    }
    // A cycle that must end normally; what the launcher said, for the failure message.
    void cycle(const ShareMachine& m, const std::string& edit) {
        const Run run = runLauncher(m, kDocument, edit);
        EXPECT_EQ(run.status, 0) << "machine " << m.name << ": " << run.said;
        EXPECT_EQ(run.said.find("fatal:"), std::string::npos) << run.said;
    }
    // The share holds no lock, guard, list scratch file or copy-back left-over.
    void expectNothingLeftOnTheShare() {
        EXPECT_EQ(readBytes(server() / "Locked.dat"), "");
        for (const char* name : {shared::ListGuard::kFileName, "temp.dat"}) EXPECT_FALSE(fs::exists(server() / name)) << name;
        for (const auto& entry : fs::directory_iterator(server() / "Docs"))
            EXPECT_EQ(entry.path().filename(), "report.txt") << "left in the share";
    }
};

// Whether machine `m`'s account may open its mount's `name` for reading and writing, as the
// server decides.
bool openableForWriting(const ShareMachine& m, const std::string& name) {
    const int fd = ::open((m.mount / name).c_str(), O_RDWR);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
}

TEST_F(ShareCycles, AlternatingUsersKeepEveryEditAndBothMayWriteTheDocument) {
    std::string expected = kOriginal;
    for (int i = 0; i < 6; ++i) {
        const ShareMachine& m = machine(i % 2);
        const std::string edit = " edit " + std::to_string(i) + " by " + m.account;
        cycle(m, edit);
        expected += edit;
        ASSERT_EQ(decryptOnServer("Docs/report.txt"), expected) << "after cycle " << i << " on " << m.name;
    }
    expectNothingLeftOnTheShare();
    for (const ShareMachine& m : machines()) {
        EXPECT_TRUE(openableForWriting(m, "Docs/report.txt")) << m.account;
        EXPECT_EQ(leftInWorkingFolder(m), std::vector<std::string>{}) << m.name;
    }
    struct stat st {};
    ASSERT_EQ(::stat((server() / "Docs" / "report.txt").c_str(), &st), 0);
    const group* shareGroup = ::getgrnam(shareVariable("GROUP").c_str());
    ASSERT_NE(shareGroup, nullptr);
    EXPECT_EQ(st.st_gid, shareGroup->gr_gid);
    EXPECT_EQ(st.st_mode & 0060, 0060u) << std::oct << st.st_mode;
}

// Where machine A's launcher is killed, and whether the application had saved its edit.
struct KillStep {
    const char* step;
    bool edited;
};

class KilledLauncher : public ShareCycles, public ::testing::WithParamInterface<KillStep> {};

TEST_P(KilledLauncher, TheOtherMachineWaitsAndTheNextStartKeepsTheEdit) {
    const KillStep kill = GetParam();
    const Run killed = runLauncher(machine(0), kDocument, " killed edit", {"--kill-at", kill.step});
    ASSERT_EQ(killed.status, -SIGKILL) << killed.said;
    const std::string afterKill = kOriginal + (kill.edited ? " killed edit" : "");

    // The document is still A's: B's launcher does not open it.
    const Run refused = runLauncher(machine(1), kDocument, " too early");
    EXPECT_EQ(refused.status, 0) << refused.said;
    EXPECT_NE(refused.said.find(std::string("message: ") + user::kInUseMessage), std::string::npos) << refused.said;

    // A's next start finishes the cycle, then works on; B then opens it with every edit.
    const Run next = runLauncher(machine(0), kDocument, " next on A");
    EXPECT_EQ(next.status, 0) << next.said;
    EXPECT_NE(next.said.find("The launcher was ended while N:\\Docs\\report.txt was open."), std::string::npos)
        << next.said;
    cycle(machine(1), " then on B");
    EXPECT_EQ(decryptOnServer("Docs/report.txt"), afterKill + " next on A then on B");
    expectNothingLeftOnTheShare();
    for (const ShareMachine& m : machines()) EXPECT_EQ(leftInWorkingFolder(m), std::vector<std::string>{}) << m.name;
}

INSTANTIATE_TEST_SUITE_P(Share, KilledLauncher,
                         ::testing::Values(KillStep{"opening", false}, KillStep{"encrypting", true},
                                           KillStep{"written", true}),
                         [](const auto& info) { return std::string(info.param.step); });

}  // namespace
}  // namespace varkel::test
