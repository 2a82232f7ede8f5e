// A launcher killed (kill -9) at each step of a cycle, and one asked to end by a signal: the
// next start recovers every edit, once, and leaves no plaintext, key material or lock behind.
#include "LauncherFixture.h"

#include "CycleRecord.h"
#include "LockHolders.h"
#include "Process.h"
#include "Spawn.h"

#include <csignal>
#include <sys/wait.h>

namespace varkel::user::test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

using ::varkel::test::spawn;

// The exit status, or -signal; fails the test after 60 s.
int waitForExit(pid_t pid) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > until) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "process " << pid << " did not end";
            return -100;
        }
        std::this_thread::sleep_for(milliseconds(5));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

bool waitFor(const std::function<bool()>& done, milliseconds poll = milliseconds(2)) {
    const auto until = Clock::now() + std::chrono::seconds(60);
    while (!done()) {
        if (Clock::now() > until) return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

uintmax_t sizeOr0(const fs::path& file) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(file, ec);
    return ec ? 0 : size;
}

class Crash : public Launcher {
protected:
    void SetUp() override {
        Launcher::SetUp();
        // In the sanitizer build, the launchers started here may end with a Qt-internal
        // allocation whose stack shows nothing but Qt, depending on timing; such reports
        // are left out for them (the tests in this process keep the full leak check).
        writeBytes(root() / "leaks.supp", "leak:libQt6Core.so\n");
        ::setenv("LSAN_OPTIONS", ("suppressions=" + (root() / "leaks.supp").string()).c_str(), 1);
        // Appends an edit, says so, and lingers when asked to.
        writeBytes(editor_, "#!/bin/sh\nprintf ' edited' >> \"$1\"\necho $$ > ../app.pid\n: > ../saved\n"
                            "[ -e ../linger ] && exec sleep 60\nexit 0\n");
    }
    void TearDown() override {
        ::unsetenv("LSAN_OPTIONS");
        endApplication();
        Launcher::TearDown();
    }
    pid_t startDriver(const std::string& document, std::vector<std::string> options = {}) {
        std::vector<std::string> words = {LAUNCHER_DRIVER, document};
        words.insert(words.end(), options.begin(), options.end());
        return spawn(words, root() / "driver.err");
    }
    // A launcher with N:\Docs\report.txt open in an application that has saved an edit and runs on.
    pid_t startWithTheApplicationRunning() {
        writeBytes(root() / "linger", "");
        const pid_t launcher = startDriver("N:\\Docs\\report.txt");
        EXPECT_TRUE(waitFor([&] { return fs::exists(root() / "saved"); })) << driverErrors();
        return launcher;
    }
    // The lingering application outlives a killed launcher: it is ended here.
    void endApplication() {
        if (!fs::exists(root() / "app.pid")) return;
        const pid_t app = std::stoi(readBytes(root() / "app.pid"));
        ::kill(app, SIGKILL);
        // The application is the killed launcher's child, not always ours to wait for: it is
        // gone once no process of that id is left but a zombie, which holds no file open.
        int status = 0;
        for (const auto until = Clock::now() + std::chrono::seconds(10); Clock::now() < until;) {
            if (::waitpid(app, &status, WNOHANG) == app || !running(app)) break;
            std::this_thread::sleep_for(milliseconds(10));
        }
        fs::remove(root() / "app.pid");
    }
    static bool running(pid_t pid) {
        const std::string stat = readBytes("/proc/" + std::to_string(pid) + "/stat");
        const size_t end = stat.rfind(')');
        return end != std::string::npos && end + 2 < stat.size() && stat[end + 2] != 'Z';
    }
    // Key material and scratch files of the launcher in the working folder.
    std::vector<std::string> leftInWorkingFolder() const {
        std::vector<std::string> left;
        for (const auto& entry : fs::directory_iterator(work())) {
            const std::string name = entry.path().filename();
            if (name != "network.dat" && name != "Vrkdec.dat") left.push_back(name);
        }
        return left;
    }
    std::string driverErrors() const { return readBytes(root() / "driver.err"); }
};

// Where the launcher is killed: at a recorded step (the driver kills itself the moment the
// step is recorded), or from outside while a file is part written or the application runs.
enum class Outside { No, DuringDecryption, WhileTheApplicationRuns, DuringEncryption };
// What else the crash left half done, beyond where the launcher was killed.
enum class HalfDone {
    Nothing,
    Wipe,      // the working copy was half overwritten by the wipe
    Record,    // the document was replaced, but the record not yet told so
};
struct KillPoint {
    std::string name;
    std::string step;
    Outside outside = Outside::No;
    bool large = false;   // a document large enough to be caught half decrypted or encrypted
    bool edited = true;   // the edit was saved before the kill, so the document must hold it
    bool newDocument = false;
    HalfDone halfDone = HalfDone::Nothing;
};

const KillPoint kKillPoints[] = {
    {"BeforeDecrypting", "opening", Outside::No, false, false, false, HalfDone::Nothing},
    {"DuringDecryption", "", Outside::DuringDecryption, true, false, false, HalfDone::Nothing},
    {"WhileTheApplicationRuns", "", Outside::WhileTheApplicationRuns, false, true, false, HalfDone::Nothing},
    {"BeforeEncrypting", "encrypting", Outside::No, false, true, false, HalfDone::Nothing},
    {"DuringEncryption", "", Outside::DuringEncryption, true, true, false, HalfDone::Nothing},
    {"AfterTheCopyBack", "written", Outside::No, false, true, false, HalfDone::Nothing},
    {"BeforeTheUnlock", "unlocking", Outside::No, false, true, false, HalfDone::Nothing},
    {"DuringTheWipe", "unlocking", Outside::No, false, true, false, HalfDone::Wipe},
    {"BetweenTheCopyBackAndItsRecord", "encrypting", Outside::No, false, true, false, HalfDone::Record},
    {"NewDocumentWhileTheApplicationRuns", "", Outside::WhileTheApplicationRuns, false, true, true, HalfDone::Nothing},
    {"NewDocumentAfterTheCopyBack", "written", Outside::No, false, true, true, HalfDone::Nothing},
};

void PrintTo(const KillPoint& kill, std::ostream* out) { *out << kill.name; }

class KillPoints : public Crash, public ::testing::WithParamInterface<KillPoint> {};

TEST_P(KillPoints, TheNextStartRecoversEveryEditOnceAndLeavesNothingBehind) {
    const KillPoint& kill = GetParam();
    const fs::path document = share_ / "Docs" / "report.txt";
    const std::string original = kill.newDocument ? " \r\n"
                                 : kill.large     ? kMark + std::string(32u << 20, 'p')
                                                  : kMark;
    if (!kill.newDocument) encrypt(document, original);
    if (kill.outside == Outside::WhileTheApplicationRuns) writeBytes(root() / "linger", "");
    std::vector<std::string> options;
    if (kill.newDocument) options.push_back("--new");
    if (!kill.step.empty()) options.insert(options.end(), {"--kill-at", kill.step});
    const pid_t launcher = startDriver("N:\\Docs\\report.txt", options);

    switch (kill.outside) {
    case Outside::No: break;
    case Outside::DuringDecryption:
        ASSERT_TRUE(waitFor([&] { return sizeOr0(work() / "report.txt") > 0; }, milliseconds(0)));
        break;
    case Outside::WhileTheApplicationRuns:
        ASSERT_TRUE(waitFor([&] { return fs::exists(root() / "saved"); }));
        break;
    case Outside::DuringEncryption:
        ASSERT_TRUE(waitFor([&] { return sizeOr0(work() / "vrktemp.bin") > 0; }, milliseconds(0)));
        break;
    }
    if (kill.outside != Outside::No) ::kill(launcher, SIGKILL);
    ASSERT_EQ(waitForExit(launcher), -SIGKILL) << driverErrors();
    // The kill did land half way.
    if (kill.outside == Outside::DuringDecryption) {
        EXPECT_LT(sizeOr0(work() / "report.txt"), original.size());
    }
    if (kill.outside == Outside::DuringEncryption) {
        EXPECT_LT(sizeOr0(work() / "vrktemp.bin"), original.size() + 7);
    }
    endApplication();
    ASSERT_TRUE(fs::exists(work() / kCycleRecordFile));
    if (kill.halfDone == HalfDone::Wipe) {
        writeBytes(work() / "report.txt", std::string(readBytes(work() / "report.txt").size(), '\0'));
    }
    if (kill.halfDone == HalfDone::Record) encrypt(document, readBytes(work() / "report.txt"));

    const std::string expected = original + (kill.edited ? " edited" : "");
    {
        auto form = start();
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_EQ(dialogs_.messages[0].rfind("The launcher was ended while N:\\Docs\\report.txt was open.", 0), 0u)
            << dialogs_.messages[0];
        EXPECT_TRUE(child<QPushButton>(*form, "Command1")->isVisible());
        form->close();
    }
    if (kill.newDocument && !kill.edited) {
        EXPECT_FALSE(fs::exists(document));
    } else {
        EXPECT_EQ(decrypt(document), expected);
    }
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_EQ(leftInWorkingFolder(), std::vector<std::string>{});
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    EXPECT_FALSE(fs::exists(share_ / "Docs" / "report.txt.vrknew"));
    EXPECT_FALSE(fs::exists(share_ / "Docs" / "report.txt.vrk"));

    // Nothing is recovered twice.
    dialogs_.messages.clear();
    const std::string encrypted = readBytes(document);
    {
        auto form = start();
        EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
        form->close();
    }
    EXPECT_EQ(readBytes(document), encrypted);
    EXPECT_EQ(leftInWorkingFolder(), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Launcher, KillPoints, ::testing::ValuesIn(kKillPoints),
                         [](const auto& info) { return info.param.name; });

TEST_F(Crash, EditsToADocumentThatChangedMeanwhileAreKeptEncryptedBesideIt) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    const pid_t launcher = startWithTheApplicationRunning();
    ::kill(launcher, SIGKILL);
    ASSERT_EQ(waitForExit(launcher), -SIGKILL);
    endApplication();
    encrypt(document, "written by someone else");  // the administrator restored an older copy

    auto form = start();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].find("kept encrypted in N:\\Docs\\report.txt.vrk."), std::string::npos)
        << dialogs_.messages[0];
    form->close();
    EXPECT_EQ(decrypt(document), "written by someone else");
    EXPECT_EQ(decrypt(share_ / "Docs" / "report.txt.vrk"), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_EQ(leftInWorkingFolder(), std::vector<std::string>{});
}

TEST_F(Crash, ACopyStillOpenInTheApplicationIsTakenBackOnlyOnceItIsClosed) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    writeBytes(editor_, "#!/bin/sh\nprintf ' edited' >> \"$1\"\necho $$ > ../app.pid\nexec 3<\"$1\"\n: > ../saved\n"
                        "exec sleep 60\n");
    const pid_t launcher = startWithTheApplicationRunning();
    ::kill(launcher, SIGKILL);
    ASSERT_EQ(waitForExit(launcher), -SIGKILL);
    {
        auto form = start();
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_NE(dialogs_.messages[0].find("is still open in sleep (process "), std::string::npos) << dialogs_.messages[0];
        form->close();
    }
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "N:\\Docs\\report.txt\r\n");  // nobody else opens it meanwhile
    EXPECT_TRUE(fs::exists(work() / kCycleRecordFile));
    endApplication();
    dialogs_.messages.clear();
    {
        auto form = start();
        ASSERT_EQ(dialogs_.messages.size(), 1u);
        EXPECT_NE(dialogs_.messages[0].find("encrypted back into it"), std::string::npos) << dialogs_.messages[0];
        form->close();
    }
    EXPECT_EQ(decrypt(document), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_EQ(leftInWorkingFolder(), std::vector<std::string>{});
}

TEST_F(Crash, ARecordThatCannotBeReadIsLeftAsItIsAndSaidSo) {
    writeBytes(work() / kCycleRecordFile, "editing\r\nN:\\Docs\\report.txt\r\n");  // cut short
    auto form = start();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].find("could not be read"), std::string::npos) << dialogs_.messages[0];
    EXPECT_EQ(readBytes(work() / kCycleRecordFile), "editing\r\nN:\\Docs\\report.txt\r\n");
    EXPECT_TRUE(child<QPushButton>(*form, "Command1")->isVisible());
}

// Two launchers, each in a working folder of its own, press their buttons on one document at
// the same moment: one opens it, the other is told it is in use, and no edit is lost.
TEST_F(Crash, TwoLaunchersAtOnceOpenADocumentOnceBetweenThem) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    writeBytes(editor_, "#!/bin/sh\nsleep 1\nprintf ' edited' >> \"$1\"\n");
    const fs::path second = root() / "work2";
    fs::create_directories(second);
    fs::copy_file(work() / "network.dat", second / "network.dat");
    const pid_t first = startDriver("N:\\Docs\\report.txt");
    pid_t other = 0;
    {
        const OutsideTheWorkingFolder there(second);
        other = spawn({LAUNCHER_DRIVER, "N:\\Docs\\report.txt"}, root() / "driver2.err");
    }
    EXPECT_EQ(waitForExit(first), 0) << driverErrors();
    EXPECT_EQ(waitForExit(other), 0) << readBytes(root() / "driver2.err");
    const std::string said = driverErrors() + readBytes(root() / "driver2.err");
    size_t refused = 0;
    for (size_t at = said.find(kInUseMessage); at != std::string::npos; at = said.find(kInUseMessage, at + 1)) ++refused;
    EXPECT_EQ(refused, 1u) << said;
    EXPECT_EQ(decrypt(document), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_EQ(leftInWorkingFolder(), std::vector<std::string>{});
    for (const auto& entry : fs::directory_iterator(second))
        EXPECT_TRUE(entry.path().filename() == "network.dat" || entry.path().filename() == "Vrkdec.dat") << entry.path();
}

// While one launcher has N:\Docs\report.txt open, every other spelling of that document is
// refused as in use: another letter case, the host path through drive C:, a symbolic link.
TEST_F(Crash, EverySpellingOfAnOpenDocumentIsRefusedAsInUse) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    fs::create_directories(root() / "links");
    fs::create_symlink(document, root() / "links" / "mine.txt");
    fs::create_symlink(share_ / "Docs", share_ / "Shortcut");
    const pid_t launcher = startWithTheApplicationRunning();
    const fs::path second = root() / "work2";  // the other launcher works in a folder of its own
    fs::create_directories(second);
    fs::copy_file(work() / "network.dat", second / "network.dat");
    const std::string locked = readBytes(share_ / "Locked.dat");
    ASSERT_EQ(locked, "N:\\Docs\\report.txt\r\n");
    for (const std::string& spelling :
         std::vector<std::string>{"n:\\docs\\REPORT.TXT", "C:" + document.string(), "N:\\Shortcut\\report.txt",
          "N:\\Docs\\..\\Docs\\report.txt", platform::windowsPath(root() / "links" / "mine.txt")}) {
        SCOPED_TRACE(spelling);
        dialogs_.messages.clear();
        const OutsideTheWorkingFolder there(second);
        auto form = start();
        child<QLabel>(*form, "Label1")->setText(QString::fromStdString(spelling));
        QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
        EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kInUseMessage});
        EXPECT_TRUE(dialogs_.questions.empty());
        EXPECT_EQ(readBytes(share_ / "Locked.dat"), locked);
        EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\Docs\\report.txt\r\n");
    }
    endApplication();
    EXPECT_EQ(waitForExit(launcher), 0) << driverErrors();
    EXPECT_EQ(decrypt(document), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
}

// The waiting launcher's holder record names it and its heartbeat moves; killed, its lock
// shows stale.
TEST_F(Crash, AWaitingLauncherKeepsItsHolderRecordAliveAndACrashedOneGoesStale) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    writeBytes(root() / "linger", "");
    const pid_t launcher = startDriver("N:\\Docs\\report.txt", {"--heartbeat-ms", "200"});
    ASSERT_TRUE(waitFor([&] { return fs::exists(root() / "saved"); })) << driverErrors();
    const auto holder = [&] {
        const std::vector<shared::LockHolder> holders = shared::readHolders("N:\\");
        return holders.size() == 1 ? holders[0] : shared::LockHolder{};
    };
    const shared::LockHolder first = holder();
    EXPECT_EQ(first.document, "N:\\Docs\\report.txt");
    EXPECT_EQ(first.pid, launcher);
    EXPECT_EQ(first.host, platform::hostName());
    EXPECT_EQ(first.user, platform::userName());
    EXPECT_TRUE(waitFor([&] { return holder().beat > first.beat; }, milliseconds(50))) << "the heartbeat never moved";
    EXPECT_EQ(holder().began, first.began);
    const auto judged = [&] {
        return shared::describeLocks(shared::readEntries("N:\\Locked.dat"), shared::readHolders("N:\\"),
                                     holder().beat)[0];
    };
    EXPECT_FALSE(judged().stale) << judged().text;

    ::kill(launcher, SIGKILL);
    waitForExit(launcher);
    EXPECT_TRUE(judged().stale) << judged().text;
    EXPECT_NE(judged().text.find(", stale"), std::string::npos);
}

// Key material of the library in the working folder.
std::vector<std::string> keyFiles(const fs::path& folder) {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename();
        if (name.size() >= 2 && name[0] == 'k' && name[1] >= '1' && name[1] <= '6') found.push_back(name);
    }
    return found;
}

class Signals : public Crash, public ::testing::WithParamInterface<int> {};

TEST_P(Signals, AtRestTheLauncherEndsInOrderWithNoKeyMaterialLeft) {
    const pid_t launcher = spawn({LAUNCHER_PROGRAM}, root() / "driver.err");
    ASSERT_TRUE(waitFor([&] { return fs::exists(work() / "k1.bin"); }));
    std::this_thread::sleep_for(milliseconds(200));
    ::kill(launcher, GetParam());
    EXPECT_EQ(waitForExit(launcher), 0) << driverErrors();
    EXPECT_EQ(keyFiles(work()), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(Launcher, Signals, ::testing::Values(SIGTERM, SIGHUP, SIGINT), [](const auto& info) {
    return std::string(info.param == SIGTERM ? "SIGTERM" : info.param == SIGHUP ? "SIGHUP" : "SIGINT");
});

TEST_F(Crash, SigtermDuringTheWaitBringsTheCycleToItsEnd) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    const pid_t launcher = startWithTheApplicationRunning();
    std::this_thread::sleep_for(milliseconds(100));
    ::kill(launcher, SIGTERM);
    EXPECT_EQ(waitForExit(launcher), 0) << driverErrors();
    endApplication();
    EXPECT_EQ(keyFiles(work()), std::vector<std::string>{});
    EXPECT_EQ(decrypt(document), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_EQ(leftInWorkingFolder(), std::vector<std::string>{});
}

}  // namespace
}  // namespace varkel::user::test
