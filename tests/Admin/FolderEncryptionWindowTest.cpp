// "Encrypt New Folder..." on the real window: the system's own files are never touched, even
// when the network folder itself is chosen, and a command cut short is finished at the next start.
#include "ConsoleFixture.h"
#include "FolderEncryption.h"
#include "KillPoints.h"
#include "MainWindow.h"
#include "PathWindow.h"
#include "SystemFiles.h"

#include <QGroupBox>
#include <QListWidget>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <map>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;
using varkel::test::randomBytes;

const std::string kKey = "271828182845";

struct LauncherRun {
    int status = -1;
    std::string output;  // what it printed
    std::string errors;  // what it said went wrong
};

// The launcher's start-up, as its own process, in `folder` (its working folder).
LauncherRun startLauncherIn(const fs::path& folder) {
    const fs::path output = folder / "launcher.out";
    const std::string command = "cd '" + folder.string() + "' && '" LAUNCHER_START "' >'" + output.string() + "' 2>'" +
                                (folder / "launcher.err").string() + "'";
    LauncherRun run;
    const int status = std::system(command.c_str());
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.output = readBytes(output);
    run.errors = readBytes(folder / "launcher.err");
    fs::remove(output);
    fs::remove(folder / "launcher.err");
    return run;
}

class FolderEncryptionWindowTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        fs::create_directories(share / "Docs");
        networkFolder(kKey + "\r\n", "N:\\Docs\\old.doc\r\n", "N:\\Docs\\old.doc\r\n");
        systemFiles = {{"key.dat", kKey + "\r\n"},
                       {"Locked.dat", "N:\\Docs\\old.doc\r\n"},
                       {"apps.dat", "Write:/bin/true\r\nView:/bin/cat\r\n"},
                       {"temp.dat", "N:\\Docs\\old.doc\r\n"},
                       {"Vrkdec.dat", "left by a launcher"},
                       {"Encrypt.jnl.vrk-scratch", "a scratch copy"}};
        for (const auto& [name, bytes] : systemFiles) writeBytes(share / name, bytes);
        writeBytes(share / "Docs" / "old.doc", "registered already");
    }
    std::string plainOf(const fs::path& document) {
        std::string key = kKey, command = commandName(platform::windowsPath(document)) + " check.out";
        EXPECT_EQ(Library().VrkGenBinaryKeys(key), 0);
        EXPECT_EQ(Library().VrkBinaryFileDec(command), 0);
        const std::string plain = readBytes(work() / "check.out");
        fs::remove(work() / "check.out");
        return plain;
    }
    std::map<std::string, std::string> systemFiles;
};

TEST_F(FolderEncryptionWindowTest, TheNetworkFolderItselfLeavesEverySystemFileUntouchedAndLaunchersStart) {
    const std::string memo = randomBytes(5000, 1), note = randomBytes(20, 2);
    writeBytes(share / "memo.txt", memo);
    writeBytes(share / "Note 2.doc", note);
    MainWindow w;
    w.show();
    dialogs.answers = {true};
    pickFolder(w, "Command9", {});

    EXPECT_EQ(dialogs.questions,
              QStringList{"Encrypt Confirm: All the files in N:\\ will be encrypted.  Are you sure you want to do this?"});
    EXPECT_EQ(dialogs.messages, QStringList{"2 files in N:\\ were encrypted and added to Current Files.  Left out: 7 "
                                            "files of the system itself."});
    for (const auto& [name, bytes] : systemFiles) EXPECT_EQ(readBytes(share / name), bytes) << name;
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\Docs\\old.doc\r\nN:\\memo.txt\r\nN:\\Note 2.doc\r\n");
    EXPECT_EQ(plainOf(share / "memo.txt"), memo);
    EXPECT_EQ(plainOf(share / "Note 2.doc"), note);
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame3")->title(), "Current Files (3)");

    // A launcher starts on the network folder afterwards, with its application buttons.
    const fs::path user = root() / "user";
    fs::create_directories(user);
    writeBytes(user / "network.dat", "N:\\\r\n");
    const LauncherRun run = startLauncherIn(user);
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.output, "Write\nView\n");

    // Nothing is left to encrypt there now, and nothing is asked.
    dialogs.messages.clear();
    pickFolder(w, "Command9", {});
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_EQ(dialogs.messages, QStringList{"There is nothing left to encrypt in N:\\.  Left out: 2 files already in "
                                            "Current Files, 7 files of the system itself."});
}

TEST_F(FolderEncryptionWindowTest, WithoutACurrentKeyNothingIsEncrypted) {
    fs::remove(share / "key.dat");
    writeBytes(share / "Docs" / "new.doc", "plain");
    MainWindow w;
    dialogs.messages.clear();
    pickFolder(w, "Command9", {"Docs"});
    EXPECT_EQ(dialogs.messages, QStringList{"No Key has been defined as yet, so there is no key to encrypt under.  "
                                            "Set the current key first."});
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(readBytes(share / "Docs" / "new.doc"), "plain");
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\Docs\\old.doc\r\n");
}

TEST_F(FolderEncryptionWindowTest, AnInterruptedFolderEncryptionIsFinishedWhenTheConsoleStarts) {
    std::map<std::string, std::string> plains;
    for (const char* name : {"a.doc", "b.doc", "c.doc"}) {
        plains[name] = randomBytes(3000, static_cast<uint32_t>(name[0]));
        writeBytes(share / "Docs" / name, plains[name]);
    }
    NetworkPath = "N:\\";
    // Killed right after the second document was marked encrypted, before its rename and
    // before the first, already in place, was registered with it.
    ASSERT_TRUE(killtest::runInDyingChild({.step = 11}, [](std::function<void()> step) {
        const FolderPlan plan = planFolder("N:\\Docs\\", "N:\\", shared::readLines("N:\\Files.dat"));
        EncryptionHooks hooks;
        hooks.afterStep = [&](std::string_view) { step(); };
        runEncryption(beginEncryption("N:\\", kKey, plan.toEncrypt), hooks, {.registrations = {}, .pipeline = {.workers = 0}});
    }));
    ASSERT_TRUE(fs::exists(work() / kEncryptJournalFile));
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\Docs\\old.doc\r\n");

    MainWindow w;
    EXPECT_EQ(dialogs.messages, QStringList{"A folder encryption was interrupted.  It has now been finished: 3 files "
                                            "are encrypted and listed in Current Files."});
    for (const auto& [name, plain] : plains) EXPECT_EQ(plainOf(share / "Docs" / name), plain) << name;
    EXPECT_EQ(readBytes(share / "Files.dat"),
              "N:\\Docs\\old.doc\r\nN:\\Docs\\a.doc\r\nN:\\Docs\\b.doc\r\nN:\\Docs\\c.doc\r\n");
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame3")->title(), "Current Files (4)");
    EXPECT_FALSE(fs::exists(work() / kEncryptJournalFile));
    EXPECT_FALSE(fs::exists(work() / "Encrypt.tmp"));
}

TEST_F(FolderEncryptionWindowTest, EnterInThePickerOpensTheHighlightedFolderWithoutSettingIt) {
    fs::create_directories(share / "Docs" / "Inner");
    MainWindow w;
    PathMode = 1;
    PickedFolder = "before";
    whenModal([](QWidget* window) {
        Picker picker{window};
        picker.drive("N:");
        picker.open("Docs");
        EXPECT_TRUE(window->isVisible());
        EXPECT_EQ(PickedFolder, "before");
        EXPECT_EQ(picker.label(), "N:\\Docs");
        picker.open("Inner");
        EXPECT_TRUE(window->isVisible());
        picker.press("Command1");
    });
    PathWindow(&w).exec();
    EXPECT_EQ(PickedFolder, "N:\\Docs\\Inner");
}

}  // namespace
}  // namespace varkel::admin::test
