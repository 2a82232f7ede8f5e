// The console's commands that go through its pickers and modal windows.
#include "ConsoleFixture.h"
#include "HelpTopics.h"
#include "HelpWindow.h"
#include "MainWindow.h"
#include "PathWindow.h"
#include "VarkelSDK.h"
#include "VbError.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;

class CommandsTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        fs::create_directories(share / "New" / "Sub");
        fs::create_directories(share / "Docs");
    }
    QStringList items(MainWindow& w, const char* list) {
        QStringList all;
        auto* l = w.findChild<QListWidget*>(list);
        for (int i = 0; i < l->count(); ++i) all << entryOf(l->item(i));
        return all;
    }
};

TEST_F(CommandsTest, EncryptNewFolderEncryptsEachNewFileOnceAndRegistersIt) {
    networkFolder("271828182845\r\n", "N:\\NEW\\b.DOC\r\n");
    const std::string a = varkel::test::randomBytes(1500, 1), b = "listed already", c = varkel::test::randomBytes(700, 2);
    writeBytes(share / "New" / "a.doc", a);
    writeBytes(share / "New" / "b.doc", b);
    writeBytes(share / "New" / "c d.doc", c);
    MainWindow w;
    w.show();
    library.calls.clear();
    QStringList progress;
    bool refreshOffWhileEncrypting = true;
    library.onCall = [&](const std::string& op) {
        if (op != "VrkBinaryFileEnc") return;
        progress << w.findChild<QLabel*>("Label2")->text();
        refreshOffWhileEncrypting &= !w.findChild<QTimer*>("Timer2")->isActive();
        EXPECT_NE(QApplication::overrideCursor(), nullptr);
    };
    dialogs.answers = {true};
    pickFolder(w, "Command9", {"New"});

    EXPECT_EQ(dialogs.questions,
              QStringList{"Encrypt Confirm: All the files in N:\\New\\ will be encrypted.  Are you sure you want to do this?"});
    // Each document read from the share is encrypted from memory into the encrypted working copy.
    const auto encryptions = library.callsOf("VrkBinaryFileEnc");
    EXPECT_EQ(encryptions.size(), 2u);
    for (const auto& command : encryptions) EXPECT_TRUE(command.ends_with(" tmp.enc")) << command;
    EXPECT_EQ(progress, (QStringList{"Encrypting a.doc (left out: 1 file already in Current Files)",
                                     "Encrypting c d.doc (left out: 1 file already in Current Files)"}));
    EXPECT_EQ(dialogs.messages, QStringList{"2 files in N:\\New\\ were encrypted and added to Current Files.  "
                                            "Left out: 1 file already in Current Files."});
    EXPECT_TRUE(refreshOffWhileEncrypting);
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\NEW\\b.DOC\r\nN:\\New\\a.doc\r\nN:\\New\\c d.doc\r\n");
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame3")->title(), "Current Files (3)");
    EXPECT_EQ(readBytes(share / "New" / "b.doc"), b);
    EXPECT_FALSE(fs::exists(share / "New" / "a.doc.vrk-scratch"));
    EXPECT_TRUE(w.findChild<QTimer*>("Timer2")->isActive());
    EXPECT_TRUE(w.findChild<QLabel*>("Label2")->isHidden());
    EXPECT_TRUE(w.findChild<QProgressBar*>("ProgressBar1")->isHidden());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // Each document reads back under the key.
    std::string back = "\"N:\\New\\c d.doc\" c.out";
    EXPECT_EQ(SdkObject()->VrkBinaryFileDec(back), 0);
    EXPECT_EQ(readBytes(work() / "c.out"), c);
    back = "N:\\New\\a.doc a.out";
    EXPECT_EQ(SdkObject()->VrkBinaryFileDec(back), 0);
    EXPECT_EQ(readBytes(work() / "a.out"), a);

    // A second run finds everything listed: nothing is encrypted again, Files.dat stays, and
    // nothing is asked.
    library.calls.clear();
    dialogs.messages.clear();
    dialogs.questions.clear();
    const std::string files = readBytes(share / "Files.dat");
    pickFolder(w, "Command9", {"New"});
    EXPECT_TRUE(library.callsOf("VrkBinaryFileEnc").empty());
    EXPECT_EQ(readBytes(share / "Files.dat"), files);
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(dialogs.messages, QStringList{"There is nothing left to encrypt in N:\\New\\.  Left out: 3 files "
                                            "already in Current Files."});
    EXPECT_TRUE(w.findChild<QTimer*>("Timer2")->isActive());
}

TEST_F(CommandsTest, AFailureRegistersWhatWasEncryptedAndLeavesTheRestWhole) {
    networkFolder("271828182845\r\n");
    for (const char* name : {"a.doc", "b.doc", "c.doc"}) writeBytes(share / "New" / name, name);
    MainWindow w;
    library.calls.clear();
    library.fails = [&](const std::string& op, const std::string&) {  // b.doc, the second
        return op == "VrkBinaryFileEnc" && library.callsOf(op).size() == 2;
    };
    dialogs.answers = {true};
    whenModal([](QWidget* window) {
        Picker picker{window};
        picker.drive("N:");
        picker.open("New");
        picker.press("Command1");
    });
    try {
        w.Command9_Click();
        ADD_FAILURE() << "the failure was not reported";
    } catch (const FatalError& error) {
        EXPECT_NE(std::string(error.what()).find("Disk full"), std::string::npos) << error.what();
    }
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\New\\a.doc\r\n");
    EXPECT_NE(readBytes(share / "New" / "a.doc"), "a.doc");
    EXPECT_EQ(readBytes(share / "New" / "b.doc"), "b.doc");
    EXPECT_EQ(readBytes(share / "New" / "c.doc"), "c.doc");
    EXPECT_FALSE(fs::exists(share / "New" / "b.doc.vrk-scratch"));
    EXPECT_EQ(library.callsOf("VrkShutDown").size(), 1u);  // the key material goes before the program
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CommandsTest, ClosingWhileEncryptingWaitsForTheEnd) {
    networkFolder("271828182845\r\n");
    for (const char* name : {"a.doc", "b.doc"}) writeBytes(share / "New" / name, name);
    MainWindow w;
    w.show();
    library.calls.clear();
    library.onCall = [&](const std::string& op) {
        if (op == "VrkBinaryFileEnc" && library.callsOf(op).size() == 1) w.close();
    };
    dialogs.answers = {true};
    pickFolder(w, "Command9", {"New"});
    std::vector<std::string> ops;
    for (const auto& call : library.calls) ops.push_back(call.first);
    // The key set-up, both documents and the wipe of the journal come before the shut-down.
    EXPECT_EQ(ops, (std::vector<std::string>{"VrkGenBinaryKeys", "VrkBinaryFileEnc", "VrkBinaryFileEnc", "VrkKillFile",
                                             "VrkShutDown"}));
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\New\\a.doc\r\nN:\\New\\b.doc\r\n");
    EXPECT_FALSE(w.isVisible());
}

TEST_F(CommandsTest, EncryptNewFolderDoesNothingOnNoOrCancel) {
    networkFolder("271828182845\r\n");
    writeBytes(share / "New" / "a.doc", "plain");
    MainWindow w;
    library.calls.clear();
    dialogs.answers = {false};
    pickFolder(w, "Command9", {"New"});
    EXPECT_EQ(dialogs.questions.size(), 1);
    pickFolder(w, "Command9", {"New"}, false);  // Cancel: no question
    EXPECT_EQ(dialogs.questions.size(), 1);
    PickedFolder = "N:\\New";  // left by an earlier pick; the close box hands back nothing
    whenModal([](QWidget* window) { window->close(); });
    w.findChild<QPushButton*>("Command9")->click();
    EXPECT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(readBytes(share / "New" / "a.doc"), "plain");
    EXPECT_FALSE(fs::exists(share / "Files.dat"));
    EXPECT_TRUE(w.findChild<QTimer*>("Timer2")->isActive());
    EXPECT_EQ(PathMode, 0);
}

TEST_F(CommandsTest, SelectNetworkPathWritesNetworkDatAndLoadsAgain) {
    writeBytes(share / "New" / "key.dat", "123456789\r\n");
    MainWindow w;
    ASSERT_EQ(dialogs.messages.size(), 1);  // no network path yet
    PickedFolder = "unchanged";
    whenModal([](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Select Folder for Network Path");
        Picker picker{window};
        EXPECT_EQ(picker.label(), "C:\\");
        picker.drive("N:");
        EXPECT_EQ(picker.label(), "N:\\");
        picker.open("New");
        EXPECT_EQ(picker.label(), "N:\\New");
        picker.press("Command1");
    });
    w.findChild<QPushButton*>("Command3")->click();
    EXPECT_EQ(readBytes(work() / "network.dat"), "N:\\New\r\n");
    EXPECT_EQ(PickedFolder, "unchanged");
    EXPECT_EQ(NetworkPath, "N:\\New\\");
    EXPECT_EQ(library.callsOf("VrkGenBinaryKeys"), std::vector<std::string>{"123456789"});
    EXPECT_TRUE(w.findChild<QPushButton*>("Command9")->isEnabled());
}

TEST_F(CommandsTest, FolderPickerHandsBackADriveRootOrNothing) {
    MainWindow w;
    PathMode = 1;
    for (const bool set : {true, false}) {
        PickedFolder = "before";
        whenModal([set](QWidget* window) {
            Picker picker{window};
            picker.drive("N:");
            picker.press(set ? "Command1" : "Command2");
        });
        PathWindow(&w).exec();
        EXPECT_EQ(PickedFolder, set ? "N:\\" : "");
    }
    EXPECT_FALSE(fs::exists(work() / "network.dat"));
}

TEST_F(CommandsTest, AddLocksThePickedFileAndCancelLocksNothing) {
    networkFolder("123456789\r\n", "", "N:\\x.doc\r\n");
    writeBytes(share / "r.doc", "x");
    writeBytes(share / "Docs" / "s.doc", "x");
    writeBytes(share / "Docs" / "t.doc", "x");
    MainWindow w;
    whenModal([](QWidget* window) {
        EXPECT_EQ(window->windowTitle(), "Select File to Lock");
        Picker picker{window};
        picker.drive("N:");
        picker.clickFile("r.doc");
        EXPECT_EQ(picker.label(), "N:\\r.doc");  // one backslash after a drive root
        picker.open("Docs");
        picker.clickFile("s.doc");
        picker.clickFile("t.doc");
        EXPECT_EQ(picker.label(), "N:\\Docs\\t.doc");
        picker.press("Command1");
    });
    w.findChild<QPushButton*>("Command1")->click();
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\x.doc\r\nN:\\Docs\\t.doc\r\n");
    EXPECT_EQ(items(w, "List1"), (QStringList{"N:\\x.doc", "N:\\Docs\\t.doc"}));

    for (const char* button : {"Command2", "Command1"}) {  // Cancel after a click; Set without one
        whenModal([button](QWidget* window) {
            Picker picker{window};
            picker.drive("N:");
            if (std::string(button) == "Command2") picker.clickFile("r.doc");
            picker.press(button);
        });
        w.findChild<QPushButton*>("Command1")->click();
        EXPECT_EQ(PickedFile, "");
    }
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\x.doc\r\nN:\\Docs\\t.doc\r\n");
}

TEST_F(CommandsTest, HelpShowsEachTopicFromAnEmptyListAndPrintsIt) {
    networkFolder("123456789\r\n");
    for (const HelpTopic& topic : kHelpTopics)
        writeBytes(work() / topic.file, std::string(topic.file) + "\r\n\r\n  indented line\r\nlast\r\n");
    MainWindow w;
    for (const HelpTopic& topic : kHelpTopics) {
        SCOPED_TRACE(topic.file);
        whenModal([&](QWidget* help) {
            EXPECT_EQ(help->windowTitle(), "Using Varkel Interface");
            auto* list = help->findChild<QListWidget*>("List1");
            QStringList lines;
            for (int i = 0; i < list->count(); ++i) lines << list->item(i)->text();
            EXPECT_EQ(lines, (QStringList{topic.file, "", "  indented line", "last"}));
            help->findChild<QPushButton*>("Command1")->click();
        });
        w.findChild<QAction*>(topic.menuName)->trigger();
        EXPECT_EQ(HelpFile, topic.file);
    }

    HelpFile = "keym.txt";
    whenModal([](QWidget* help) {
        help->findChild<QPushButton*>("Command2")->click();
        help->findChild<QPushButton*>("Command2")->click();
        help->findChild<QPushButton*>("Command1")->click();
    });
    w.findChild<QAction*>("hlpkey")->trigger();
    ASSERT_EQ(dialogs.printed.size(), 2u);
    EXPECT_EQ(dialogs.printed[0], dialogs.printed[1]);
    EXPECT_EQ(dialogs.printed[0].first, (QStringList{"keym.txt", "", "  indented line", "last"}));
    EXPECT_EQ(dialogs.printed[0].second, 14);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CommandsTest, AMissingOrEmptyHelpTextIsAFailureThatShutsTheLibraryDown) {
    writeBytes(work() / "sec.txt", "");
    for (const char* file : {"netw.txt", "sec.txt"}) {
        HelpFile = file;
        HelpWindow help;
        EXPECT_THROW(help.Form_Load(), platform::VbError) << file;
    }
    networkFolder("123456789\r\n");
    MainWindow w;
    library.calls.clear();
    EXPECT_THROW(w.showHelp("netw.txt"), FatalError);
    EXPECT_EQ(library.callsOf("VrkShutDown").size(), 1u);
    EXPECT_FALSE(fs::exists(work() / "k1.bin"));
}

TEST_F(CommandsTest, AboutShowsTheTitleLine) {
    MainWindow w;
    whenModal([](QWidget* about) {
        EXPECT_EQ(about->windowTitle(), "About Varkel Encryption Windows Interface");
        EXPECT_EQ(about->findChild<QLabel*>("Label1")->text(), "Varkel Encryption Windows Interface v2.0");
        about->findChild<QPushButton*>("Command1")->click();
    });
    w.findChild<QAction*>("hlpabt")->trigger();
}

}  // namespace
}  // namespace varkel::admin::test
