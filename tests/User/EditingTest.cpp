// The wait for real editors: programs that hand the document on, children that open it later,
// editors' lock files, and the Finished Editing window.
#include "LauncherFixture.h"

#include "CycleRecord.h"
#include "EditingWait.h"
#include "EditingWatch.h"
#include "Process.h"

#include <QAccessible>
#include <QDialog>
#include <QTimer>

#include <csignal>
#include <functional>

namespace varkel::user::test {
namespace {

// A fake application: the script body (with "$1" the working copy's name), the edits it
// makes, and whether the user must press Finished Editing.
struct FakeApplication {
    std::string name;
    std::string script;
    std::string edits;
    bool handsOff = false;
    // A program that runs already (an editor's first window) and acts on a request file.
    std::string instance;
};

const FakeApplication kFakeApplications[] = {
    {"HoldsTheCopyOpenThenWrites", "exec 3<\"$1\"\nstat -c %a \"$1\" > ../mode\nsleep 2\nprintf ' a' >> \"$1\"", " a", false, ""},
    {"BackgroundChildOpensTheCopyLater", "( sleep 3; exec 3>>\"$1\"; printf ' b' >&3; exec 3>&- ) &\nexit 0", " b", false, ""},
    {"BackgroundChildHoldsTheCopyAndWrites", "( exec 3>>\"$1\"; sleep 4; printf ' c' >&3 ) &\nexit 0", " c", false, ""},
    {"KeepsAnOfficeLockFile",
     ": > \".~lock.$1#\"\nsleep 1\nprintf ' d' >> \"$1\"\nsleep 1\nrm \".~lock.$1#\"\nexit 0", " d", false, ""},
    // Hands the copy to a running instance that keeps only a lock file while it edits.
    {"HandsOffToAnInstanceWithALockFile", "echo \"$1\" > ../request\nexit 0", " i", false,
     "while [ ! -e ../request ]; do sleep 0.05; done\nn=$(cat ../request)\n: > \"~\\$$n\"\nsleep 1\n"
     "printf ' i' >> \"$n\"\nsleep 1\nrm \"~\\$$n\""},
    {"EndsAtOnceAndTouchesNothing", "exit 0", "", true, ""},
};

void PrintTo(const FakeApplication& app, std::ostream* out) { *out << app.name; }

class FakeApplications : public Launcher, public ::testing::WithParamInterface<FakeApplication> {};

// Runs `step` on every turn of the launcher's event processing until it returns true, for as
// long as the timer lives.
std::unique_ptr<QTimer> whileWaiting(std::function<bool()> step) {
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(20);
    QObject::connect(timer.get(), &QTimer::timeout, [t = timer.get(), step] {
        if (step()) t->stop();
    });
    timer->start();
    return timer;
}

QDialog* finishedWindow(Form1& form) {
    auto* window = form.findChild<QDialog*>("frmFinished");
    return window != nullptr && window->isVisible() ? window : nullptr;
}

TEST_P(FakeApplications, TheDocumentEndsEncryptedWithEveryEditAndNothingLeft) {
    const FakeApplication& app = GetParam();
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    ::chmod(document.c_str(), 0640);
    writeBytes(editor_, "#!/bin/sh\n" + app.script + "\n");
    int32_t instance = 0;
    if (!app.instance.empty()) {
        writeBytes(root() / "instance.sh", "#!/bin/sh\n" + app.instance + "\n");
        ::chmod((root() / "instance.sh").c_str(), 0755);
        instance = platform::startProcess(platform::windowsPath(root() / "instance.sh"));
    }
    auto form = start();
    if (instance != 0) {
        // The other window must get to the copy within the settling time, even on a busy machine.
        WaitTimes times = testTimes();
        times.settle = std::chrono::milliseconds(1500);
        form->setWaitTimes(times);
    }
    pick(*form, {"Docs"}, "report.txt");

    bool sawDisabled = false;
    bool pressed = false;
    const auto watching = whileWaiting([&] {
        auto* button = child<QPushButton>(*form, "Command1");
        if (!button->isEnabled()) {
            sawDisabled = true;
            // The window answers accessibility queries during the wait, and tells its state.
            QAccessibleInterface* access = QAccessible::queryAccessibleInterface(button);
            EXPECT_TRUE(access != nullptr && access->state().disabled);
        }
        QDialog* window = finishedWindow(*form);
        if (window == nullptr) return false;
        EXPECT_EQ(QApplication::activeModalWidget(), window);
        EXPECT_EQ(window->findChild<QLabel*>("Label1")->text().toStdString(), handOffMessage("report.txt"));
        QTest::mouseClick(window->findChild<QPushButton*>("cmdFinished"), Qt::LeftButton);
        pressed = true;
        return true;
    });
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    EXPECT_TRUE(sawDisabled);
    EXPECT_EQ(pressed, app.handsOff);
    EXPECT_TRUE(child<QPushButton>(*form, "Command1")->isEnabled());
    EXPECT_EQ(decrypt(document), kMark + app.edits);
    EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    for (const std::string left : {"report.txt", "vrktemp.bin", kCycleRecordFile, ".~lock.report.txt#", "~$report.txt"})
        EXPECT_FALSE(fs::exists(work() / left)) << left;
    EXPECT_EQ(fs::status(document).permissions(), fs::perms(0640));
    if (app.name == "HoldsTheCopyOpenThenWrites") {
        EXPECT_EQ(readBytes(root() / "mode"), "600\n");
    }
    const std::vector<std::string> lines = status(*form);
    const bool told = std::find(lines.begin(), lines.end(), handOffMessage("report.txt")) != lines.end();
    EXPECT_EQ(told, app.handsOff);
    if (instance != 0) {
        while (platform::processRunning(instance)) QTest::qWait(20);
    }
}

INSTANTIATE_TEST_SUITE_P(Launcher, FakeApplications, ::testing::ValuesIn(kFakeApplications),
                         [](const auto& info) { return info.param.name; });

using HandOff = Launcher;

// Pressing Finished Editing while another program still has the copy names the program and
// keeps waiting; what it saves meanwhile reaches the document.
TEST_F(HandOff, PressingWhileAProgramHoldsTheCopyNamesItAndKeepsWaiting) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    writeBytes(editor_, "#!/bin/sh\nexit 0\n");
    // The running instance opens the copy only when the window asks the user.
    writeBytes(root() / "instance.sh",
               "#!/bin/sh\nwhile [ ! -e ../open ]; do sleep 0.05; done\nexec 3<report.txt\n: > ../held\n"
               "sleep 1\nprintf ' late' >> report.txt\nexec 3<&-\n: > ../done\n");
    ::chmod((root() / "instance.sh").c_str(), 0755);
    const int32_t instance = platform::startProcess(platform::windowsPath(root() / "instance.sh"));
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");

    enum { Asked, Held, Done } stage = Asked;
    std::string refusedText;
    const auto watching = whileWaiting([&] {
        QDialog* window = finishedWindow(*form);
        if (window == nullptr) return false;
        auto* button = window->findChild<QPushButton*>("cmdFinished");
        const std::string text = window->findChild<QLabel*>("Label1")->text().toStdString();
        switch (stage) {
        case Asked:
            writeBytes(root() / "open", "");
            if (!fs::exists(root() / "held")) return false;
            QTest::mouseClick(button, Qt::LeftButton);
            stage = Held;
            return false;
        case Held:
            if (text == handOffMessage("report.txt")) return false;
            refusedText = text;
            if (!fs::exists(root() / "done")) return false;
            QTest::mouseClick(button, Qt::LeftButton);
            stage = Done;
            return true;
        default: return true;
        }
    });
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    EXPECT_EQ(stage, Done);
    EXPECT_EQ(refusedText.rfind("report.txt is still open in ", 0), 0u) << refusedText;
    EXPECT_NE(refusedText.find("(process "), std::string::npos) << refusedText;
    EXPECT_EQ(decrypt(document), kMark + " late");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    while (platform::processRunning(instance)) QTest::qWait(20);
}

// A save that lands while the copy is being encrypted is encrypted again before the copy goes.
TEST_F(HandOff, ASaveDuringEncryptionIsEncryptedAgain) {
    const fs::path document = share_ / "Docs" / "report.txt";
    encrypt(document, kMark);
    writeBytes(editor_, "#!/bin/sh\nprintf ' first' >> \"$1\"\n");
    // Another window of the application saves once more as soon as the launcher encrypts.
    writeBytes(root() / "instance.sh", "#!/bin/sh\nwhile [ ! -e ../go ]; do sleep 0.01; done\n"
                                       "printf ' second' >> report.txt\n: > ../saved\n");
    ::chmod((root() / "instance.sh").c_str(), 0755);
    const int32_t instance = platform::startProcess(platform::windowsPath(root() / "instance.sh"));
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    setLibraryObserver([this](std::string_view name, const std::string&) {
        calls_.emplace_back(name);
        if (name != "VrkBinaryFileEnc" || fs::exists(root() / "go")) return;
        writeBytes(root() / "go", "");
        while (!fs::exists(root() / "saved")) QTest::qWait(5);
    });
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    EXPECT_EQ(decrypt(document), kMark + " first second");
    EXPECT_GE(callsOf("VrkBinaryFileEnc"), 2);
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    while (platform::processRunning(instance)) QTest::qWait(20);
}

TEST(EditorLockFiles, AreNamedAsTheUsualEditorsNameThem) {
    const std::vector<std::string> names = editorLockFileNames("report.doc");
    for (const std::string expected : {".~lock.report.doc#", "~$report.doc", "~$port.doc", ".report.doc.swp", ".#report.doc"})
        EXPECT_NE(std::find(names.begin(), names.end(), expected), names.end()) << expected;
}

}  // namespace
}  // namespace varkel::user::test
