#include "LauncherFixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QTimer>

namespace varkel::user::test {
namespace {

using StartUp = Launcher;

std::vector<std::string> visibleButtons(Form1& form) {
    std::vector<std::string> shown;
    for (int n = 1; n <= kSlotCount; ++n) {
        auto* button = form.findChild<QPushButton*>(QString("Command%1").arg(n));
        if (button->isVisible()) shown.push_back("Command" + std::to_string(n) + "=" + button->text().toStdString());
    }
    return shown;
}

TEST_F(StartUp, ShowsOneButtonPerApplicationAndSetsUpTheKey) {
    writeBytes(work() / "network.dat", "N:\\Shared\r\n");
    fs::create_directories(share_ / "Shared");
    writeBytes(share_ / "Shared" / "key.dat", kKey + "\r\n");
    writeBytes(share_ / "Shared" / "apps.dat",
               "Edit:C:\\Program Files\\Editor\\edit.exe\r\nSpreadsheets:/usr/bin/calc\r\nView:viewer\r\n");
    auto form = start();
    EXPECT_EQ(form->windowTitle(), "Varkel Encryption Windows Interface");
    EXPECT_EQ(form->networkPath(), "N:\\Shared\\");
    EXPECT_EQ(visibleButtons(*form), (std::vector<std::string>{"Command1=Edit", "Command2=Spreadsheets", "Command3=View"}));
    EXPECT_EQ(child<QPushButton>(*form, "Command15")->text(), "Clear");
    EXPECT_EQ(form->osFamily(), "WinNT");
    EXPECT_EQ(child<QLabel>(*form, "Label1")->text(), "C:\\");
    EXPECT_FALSE(child<QCheckBox>(*form, "chkNew")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(*form, "chkNew")->isVisible());
    EXPECT_EQ(child<QLineEdit>(*form, "Text1")->text(), "");
    EXPECT_EQ(calls_, std::vector<std::string>{"VrkGenBinaryKeys"});
    EXPECT_TRUE(fs::exists(work() / "k1.bin"));

    QStringList menus;
    for (QAction* a : form->menuBar()->actions()) {
        menus << a->objectName() + "=" + a->text();
        for (QAction* item : a->menu()->actions()) menus << item->objectName() + "=" + item->text();
    }
    EXPECT_EQ(menus.join(" "), "=&File fleext=E&xit =&Help hlpabt=&About hlpdiv= hlpus=&Using Varkel Interface");

    // Pressing a button at once: "C:\" holds no ".".
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kNoExtensionMessage});
}

TEST_F(StartUp, ListLinesWithoutColonAndPastTheFourteenthGetNoButton) {
    std::string apps;
    for (int k = 1; k <= 16; ++k) apps += (k == 2 ? std::string("no colon here") : "App" + std::to_string(k) + ":prog") + "\r\n";
    writeBytes(share_ / "apps.dat", apps);
    auto form = start();
    const auto shown = visibleButtons(*form);
    ASSERT_EQ(shown.size(), 13u);
    EXPECT_EQ(shown.front(), "Command1=App1");
    EXPECT_EQ(shown[1], "Command3=App3");
    EXPECT_EQ(shown.back(), "Command14=App14");
}

TEST_F(StartUp, WithoutANetworkPathItSaysSoAndEndsWithoutTheLibrary) {
    for (const bool empty : {false, true}) {
        SCOPED_TRACE(empty ? "empty network.dat" : "no network.dat");
        if (empty) writeBytes(work() / "network.dat", ""); else fs::remove(work() / "network.dat");
        dialogs_.messages.clear();
        auto form = start();
        EXPECT_EQ(dialogs_.messages, std::vector<std::string>{"The Application cannot execute.  Please consult with the "
                                                              "System Administrator about this problem."});
        EXPECT_FALSE(fs::exists(work() / "network.dat"));
        QTRY_VERIFY(!form->isVisible());
        EXPECT_TRUE(calls_.empty());
    }
}

TEST_F(StartUp, AMissingOrEmptyApplicationListEndsTheProgramNamingTheFailure) {
    for (const bool empty : {false, true}) {
        if (empty) writeBytes(share_ / "apps.dat", ""); else fs::remove(share_ / "apps.dat");
        try {
            Form1 form;
            ADD_FAILURE() << "started without an application list";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(empty ? "Input past end of file" : "File not found"), std::string::npos)
                << e.what();
        }
    }
}

TEST_F(StartUp, ExitAndClosingEachShutTheLibraryDownOnce) {
    for (const bool menu : {true, false}) {
        SCOPED_TRACE(menu ? "E&xit" : "closing");
        auto form = start();
        calls_.clear();
        if (menu) child<QAction>(*form, "fleext")->trigger(); else form->close();
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(calls_, std::vector<std::string>{"VrkShutDown"});
        EXPECT_FALSE(fs::exists(work() / "k1.bin"));
        form.reset();
        EXPECT_EQ(calls_.size(), 1u);
    }
}

TEST_F(StartUp, ANewNameIsPathAndMarkUntilAFileIsPicked) {
    encrypt(share_ / "Docs" / "a.doc", kMark);
    writeBytes(share_ / "top.doc", "x");
    auto form = start();
    auto* drive = child<QComboBox>(*form, "Drive1");
    drive->setCurrentIndex(drive->findText("N:"));
    EXPECT_EQ(form->dirPath(), "N:\\");
    clickItem(child<QListWidget>(*form, "Dir1"), "Docs");
    auto* text = child<QLineEdit>(*form, "Text1");
    auto* label = child<QLabel>(*form, "Label1");
    QTest::keyClicks(text, "x.txt");
    text->clear();
    EXPECT_EQ(label->text(), "N:\\Docs\\");
    EXPECT_TRUE(child<QCheckBox>(*form, "chkNew")->isChecked());
    QTest::keyClicks(text, "x.txt");
    clickItem(child<QListWidget>(*form, "File1"), "a.doc");
    EXPECT_EQ(label->text(), "N:\\Docs\\a.doc");
    EXPECT_FALSE(child<QCheckBox>(*form, "chkNew")->isChecked());
    EXPECT_EQ(text->text(), "");
    clickItem(child<QListWidget>(*form, "Dir1"), "N:\\");  // another folder leaves the path alone
    EXPECT_EQ(label->text(), "N:\\Docs\\a.doc");
    // At a drive root the separator is not doubled.
    clickItem(child<QListWidget>(*form, "File1"), "top.doc");
    EXPECT_EQ(label->text(), "N:\\top.doc");
}

TEST_F(StartUp, TheFolderListShowsTheFoldersAboveAndADriveThatCannotBeReadIsIgnored) {
    fs::create_directories(share_ / "Docs" / "Old");
    mapDrives("N: " + share_.string() + "\nQ: " + (root() / "unplugged").string() + "\n");
    auto form = start();
    auto* drive = child<QComboBox>(*form, "Drive1");
    drive->setCurrentIndex(drive->findText("N:"));
    clickItem(child<QListWidget>(*form, "Dir1"), "Docs");
    clickItem(child<QListWidget>(*form, "Dir1"), "Old");
    EXPECT_EQ(form->dirPath(), "N:\\Docs\\Old");
    const auto folderList = [&] {
        std::vector<std::string> shown;
        auto* dirs = child<QListWidget>(*form, "Dir1");
        for (int i = 0; i < dirs->count(); ++i) shown.push_back(dirs->item(i)->text().toStdString());
        return shown;
    };
    EXPECT_EQ(folderList(), (std::vector<std::string>{"N:\\", "  Docs", "    Old"}));
    drive->setCurrentIndex(drive->findText("Q:"));
    EXPECT_EQ(drive->currentText(), "N:");
    EXPECT_EQ(form->dirPath(), "N:\\Docs\\Old");
    EXPECT_EQ(folderList(), (std::vector<std::string>{"N:\\", "  Docs", "    Old"}));
    clickItem(child<QListWidget>(*form, "Dir1"), "Docs");
    EXPECT_EQ(folderList(), (std::vector<std::string>{"N:\\", "  Docs", "    Old"}));
    EXPECT_EQ(form->dirPath(), "N:\\Docs");
}

// Runs `check` on the modal window that `open` shows, then presses its Done button.
void onModal(const std::function<void()>& open, const std::function<void(QDialog&)>& check) {
    bool seen = false;
    // Waits for the dialog to become the active modal window: under load it may not be yet
    // when the event loop first runs.
    std::function<void(int)> attempt = [&](int left) {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (dialog == nullptr && left > 0) {
            QTimer::singleShot(10, [&, left] { attempt(left - 1); });
            return;
        }
        ASSERT_NE(dialog, nullptr);
        check(*dialog);
        seen = true;
        QTest::mouseClick(dialog->findChild<QPushButton*>("Command1"), Qt::LeftButton);
    };
    QTimer::singleShot(0, [&] { attempt(500); });
    open();
    EXPECT_TRUE(seen);
}

TEST_F(StartUp, TheUserGuideIsShownLineByLineEachTime) {
    std::string guide;
    for (int i = 1; i <= 40; ++i) guide += (i == 7 ? std::string() : "line " + std::to_string(i)) + "\r\n";
    writeBytes(work() / "userhelp.txt", guide);
    auto form = start();
    for (int time = 0; time < 2; ++time) {
        onModal([&] { child<QAction>(*form, "hlpus")->trigger(); },
                [](QDialog& help) {
                    EXPECT_EQ(help.windowTitle(), "Using Varkel Interface");
                    auto* list = help.findChild<QListWidget*>("List1");
                    ASSERT_EQ(list->count(), 40);
                    EXPECT_EQ(list->item(0)->text(), "line 1");
                    EXPECT_EQ(list->item(6)->text(), "");
                    EXPECT_EQ(list->item(39)->text(), "line 40");
                });
    }
    EXPECT_TRUE(dialogs_.messages.empty());
    fs::remove(work() / "userhelp.txt");
    child<QAction>(*form, "hlpus")->trigger();
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].find("File not found"), std::string::npos);
    EXPECT_TRUE(form->isVisible());  // a missing guide does not end the program
}

TEST_F(StartUp, TheAboutBoxNamesTheProgram) {
    auto form = start();
    onModal([&] { child<QAction>(*form, "hlpabt")->trigger(); },
            [](QDialog& about) {
                EXPECT_EQ(about.windowTitle(), "About Varkel Encryption Windows Interface");
                EXPECT_EQ(about.findChild<QLabel*>("Label1")->text(), "Varkel Encryption Windows Interface v1.0");
            });
}

}  // namespace
}  // namespace varkel::user::test
