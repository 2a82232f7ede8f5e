// The main window driven headless: start-up, refresh, keys, lists and exit.
#include "ConsoleFixture.h"
#include "LockHolders.h"
#include "MainWindow.h"
#include "Process.h"
#include "SystemFiles.h"
#include "WinPath.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <thread>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;

const QString kNoNetwork =
    "The Network Path must be defined before any other utilities can be performed.  Please define it at once.";
const QString kNoKey =
    "No Key has been defined as yet.  Your users cannot use this system until keys have been generated and "
    "selected for use, or if this is the result of a transfer, the files are restored.";
const char* const kWorkControls[] = {"Text2",    "List1",    "List2",    "List3",    "Command1", "Command2",
                                     "Command4", "Command5", "Command6", "Command8", "Command9", "Command11"};
const char* const kAlwaysControls[] = {"Command3", "Command13", "Command14", "Command12", "Command10"};

class MainWindowTest : public ConsoleFixture {
protected:
    template <class T = QWidget>
    T* control(MainWindow& w, const char* name) {
        T* found = w.findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QStringList items(MainWindow& w, const char* list) {
        QStringList all;
        auto* l = control<QListWidget>(w, list);
        for (int i = 0; i < l->count(); ++i) all << entryOf(l->item(i));
        return all;
    }
    void click(MainWindow& w, const char* button) { control<QPushButton>(w, button)->click(); }
    void select(MainWindow& w, const char* list, const QStringList& entries) {
        auto* l = control<QListWidget>(w, list);
        for (int i = 0; i < l->count(); ++i) l->item(i)->setSelected(entries.contains(entryOf(l->item(i))));
    }
    QString filesCaption(MainWindow& w) { return control<QGroupBox>(w, "Frame3")->title(); }
};

TEST_F(MainWindowTest, WithoutNetworkPathOnlyTheNetworkCommandsWork) {
    writeBytes(work() / "network.dat", "");  // left empty by an earlier run
    MainWindow w;
    EXPECT_EQ(dialogs.messages, QStringList{kNoNetwork});
    EXPECT_FALSE(fs::exists(work() / "network.dat"));
    for (const char* name : kWorkControls) EXPECT_FALSE(control(w, name)->isEnabled()) << name;
    for (const char* name : kAlwaysControls) EXPECT_TRUE(control(w, name)->isEnabled()) << name;
    EXPECT_TRUE(library.callsOf("VrkGenBinaryKeys").empty());
    EXPECT_EQ(NetworkPath, "");
}

TEST_F(MainWindowTest, WithoutKeyTheListsStillLoad) {
    for (const std::string keyDat : {"", "\r\n"}) {  // missing, or a blank line: no key
        SCOPED_TRACE(keyDat.size());
        dialogs.messages.clear();
        fs::remove(share / "key.dat");
        networkFolder("", "N:\\a.doc\r\nN:\\b.doc\r\nN:\\c.doc\r\n", "N:\\b.doc\r\n");
        if (!keyDat.empty()) writeBytes(share / "key.dat", keyDat);
        writeBytes(work() / "Keys.dat", "123456789\r\n987654321\r\n");
        MainWindow w;
        EXPECT_EQ(dialogs.messages, keyDat.empty() ? QStringList{kNoKey} : QStringList{});
        EXPECT_EQ(control<QLineEdit>(w, "Text2")->text(), "");
        EXPECT_TRUE(library.callsOf("VrkGenBinaryKeys").empty());
        EXPECT_EQ(items(w, "List1"), QStringList{"N:\\b.doc"});
        EXPECT_EQ(items(w, "List2"), (QStringList{"N:\\a.doc", "N:\\b.doc", "N:\\c.doc"}));
        EXPECT_EQ(items(w, "List3"), (QStringList{"123456789", "987654321"}));
        EXPECT_EQ(filesCaption(w), "Current Files (3)");
        for (const char* name : kWorkControls) EXPECT_TRUE(control(w, name)->isEnabled()) << name;
    }
}

TEST_F(MainWindowTest, StartUpSetsTheLibraryUpUnderTheNetworkPathAsRead) {
    fs::create_directories(share / "Data");
    writeBytes(work() / "network.dat", "N:\\Data\r\n");
    writeBytes(share / "Data" / "key.dat", "271828182845\r\n");
    MainWindow w;
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
    EXPECT_EQ(control<QLineEdit>(w, "Text1")->text(), "N:\\Data");
    EXPECT_EQ(NetworkPath, "N:\\Data\\");
    EXPECT_EQ(control<QLineEdit>(w, "Text2")->text(), "271828182845");
    EXPECT_EQ(library.callsOf("VrkGenBinaryKeys"), std::vector<std::string>{"271828182845"});
    EXPECT_TRUE(fs::exists(work() / "k1.bin"));
    EXPECT_EQ(filesCaption(w), "Current Files (0)");
    EXPECT_EQ(w.windowTitle(), "Varkel Encryption Windows Interface Network Administration");
}

TEST_F(MainWindowTest, TimersRefreshBothListsEveryTenSeconds) {
    networkFolder("123456789\r\n", "N:\\a.doc\r\n");
    MainWindow w;
    for (const char* name : {"Timer1", "Timer2"}) {
        auto* timer = w.findChild<QTimer*>(name);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval(), 10000);
        EXPECT_TRUE(timer->isActive());
    }
    writeBytes(share / "Files.dat", "N:\\a.doc\r\nN:\\b.doc\r\n");
    writeBytes(share / "Locked.dat", "N:\\a.doc\r\n");
    w.Timer1_Timer();
    EXPECT_EQ(items(w, "List1"), QStringList{"N:\\a.doc"});
    EXPECT_EQ(items(w, "List2"), QStringList{"N:\\a.doc"});  // Timer2 has not run yet
    w.Timer2_Timer();
    EXPECT_EQ(items(w, "List2"), (QStringList{"N:\\a.doc", "N:\\b.doc"}));
    EXPECT_EQ(filesCaption(w), "Current Files (2)");
    fs::remove(share / "Files.dat");
    writeBytes(share / "Locked.dat", "");
    w.Timer1_Timer();
    w.Timer2_Timer();
    EXPECT_TRUE(items(w, "List1").isEmpty());
    EXPECT_FALSE(fs::exists(share / "Locked.dat"));
    EXPECT_EQ(filesCaption(w), "Current Files (0)");
}

TEST_F(MainWindowTest, GenerateKeysAddsOrReplacesAndRewritesTheKeyList) {
    networkFolder("123456789\r\n");
    writeBytes(work() / "Keys.dat", "111111111\r\n");
    MainWindow w;
    auto generate = [&](const char* count, const char* digits, const char* button) {
        whenModal([=](QWidget* gen) {
            EXPECT_EQ(gen->objectName(), "frmGen");
            EXPECT_EQ(gen->findChild<QComboBox*>("Combo1")->currentText(), " 18");
            EXPECT_EQ(gen->findChild<QComboBox*>("Combo1")->count(), 11);
            gen->findChild<QLineEdit*>("Text1")->setText(count);
            gen->findChild<QComboBox*>("Combo1")->setEditText(digits);
            gen->findChild<QPushButton*>(button)->click();
        });
        click(w, "Command5");
    };
    auto checkKeys = [&](int total, int newFrom, int digits) {
        const QStringList keys = items(w, "List3");
        ASSERT_EQ(keys.size(), total);
        std::string file;
        for (int i = 0; i < total; ++i) {
            file += keys[i].toStdString() + "\r\n";
            if (i < newFrom) continue;
            EXPECT_EQ(keys[i].size(), digits);
            EXPECT_FALSE(keys[i].contains('0'));
        }
        EXPECT_EQ(readBytes(work() / "Keys.dat"), file);
    };
    generate("3", " 18", "Command1");
    EXPECT_EQ(items(w, "List3").first(), "111111111");
    checkKeys(4, 1, 18);
    generate("2", " 8", "Command2");
    checkKeys(2, 0, 8);
    generate("-1", " 8", "Command2");  // a negative count passes and leaves nothing
    checkKeys(0, 0, 8);
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(MainWindowTest, GenerateKeysRefusesBadNumbersAndStaysOpen) {
    networkFolder("123456789\r\n");
    MainWindow w;
    const struct {
        const char* count;
        const char* digits;
        const char* message;
    } cases[] = {
        {"abc", " 18", "Missing or invalid number to Generate."},
        {"0", " 18", "Missing or invalid number to Generate."},
        {"3", "7", "Invalid number of digits.  Please select a valid number."},
        {"3", "19", "Invalid number of digits.  Please select a valid number."},
    };
    for (const auto& c : cases) {
        dialogs.messages.clear();
        whenModal([&](QWidget* gen) {
            gen->findChild<QLineEdit*>("Text1")->setText(c.count);
            gen->findChild<QComboBox*>("Combo1")->setEditText(c.digits);
            gen->findChild<QPushButton*>("Command1")->click();
            EXPECT_TRUE(gen->isVisible());
            EXPECT_EQ(gen->findChild<QLineEdit*>("Text1")->text(), c.count);
            gen->findChild<QPushButton*>("Command3")->click();  // Cancel
        });
        click(w, "Command5");
        EXPECT_EQ(dialogs.messages, QStringList{c.message}) << c.count << "/" << c.digits;
    }
    EXPECT_TRUE(items(w, "List3").isEmpty());
    EXPECT_FALSE(fs::exists(work() / "Keys.dat"));
}

TEST_F(MainWindowTest, SetKeyStoresAKeyPickedFromTheListAndSetsTheLibraryUp) {
    networkFolder();
    writeBytes(work() / "Keys.dat", "111222333\r\n444555666\r\n");
    MainWindow w;
    w.show();
    dialogs.messages.clear();
    auto* keys = control<QListWidget>(w, "List3");
    QTest::mouseClick(keys->viewport(), Qt::LeftButton, {}, keys->visualItemRect(keys->item(1)).center());
    EXPECT_EQ(control<QLineEdit>(w, "Text2")->text(), "444555666");
    EXPECT_FALSE(fs::exists(share / "key.dat"));  // a click stores nothing
    click(w, "Command6");
    EXPECT_EQ(readBytes(share / "key.dat"), "444555666\r\n");
    EXPECT_EQ(library.callsOf("VrkGenBinaryKeys"), std::vector<std::string>{"444555666"});
    EXPECT_EQ(dialogs.messages, QStringList{"Key has been set to 444555666"});
}

TEST_F(MainWindowTest, SetKeyRefusesAKeyThatIsNotDigits) {
    networkFolder("123456789\r\n");
    MainWindow w;
    library.calls.clear();
    for (const char* bad : {"", "12345x789", " 12345678"}) {
        dialogs.messages.clear();
        control<QLineEdit>(w, "Text2")->setText(bad);
        click(w, "Command6");
        ASSERT_EQ(dialogs.messages.size(), 1) << bad;
        EXPECT_TRUE(dialogs.messages[0].startsWith("A key is a string of digits.")) << bad;
    }
    EXPECT_EQ(readBytes(share / "key.dat"), "123456789\r\n");
    EXPECT_TRUE(library.calls.empty());
}

TEST_F(MainWindowTest, SetKeyAsksBeforeLeavingRegisteredDocumentsUnderTheOldKey) {
    networkFolder("123456789\r\n", "N:\\a.doc\r\nN:\\b.doc\r\nN:\\c.doc\r\n");
    MainWindow w;
    library.calls.clear();
    control<QLineEdit>(w, "Text2")->setText("123456789");  // the current key: no question
    click(w, "Command6");
    EXPECT_TRUE(dialogs.questions.isEmpty());

    control<QLineEdit>(w, "Text2")->setText("987654321");
    dialogs.answers = {false};
    click(w, "Command6");
    ASSERT_EQ(dialogs.questions.size(), 1);
    EXPECT_TRUE(dialogs.questions[0].startsWith("Set Key: 3 encrypted documents in Current Files"));
    EXPECT_TRUE(dialogs.questions[0].contains("\"Convert Encrypted Files to New Key...\""));
    EXPECT_EQ(readBytes(share / "key.dat"), "123456789\r\n");
    EXPECT_EQ(control<QLineEdit>(w, "Text2")->text(), "123456789");  // the key still in force

    control<QLineEdit>(w, "Text2")->setText("987654321");
    dialogs.answers = {true};
    click(w, "Command6");
    EXPECT_EQ(readBytes(share / "key.dat"), "987654321\r\n");
    EXPECT_EQ(library.callsOf("VrkGenBinaryKeys"), (std::vector<std::string>{"123456789", "987654321"}));
}

TEST_F(MainWindowTest, DeleteRemovesEveryCopyOfTheSelectedEntries) {
    networkFolder("123456789\r\n", "N:\\x\r\nN:\\y\r\nN:\\x\r\nN:\\z\r\nN:\\w\r\n", "N:\\p\r\nN:\\q\r\nN:\\p\r\n");
    MainWindow w;
    select(w, "List2", {"N:\\x", "N:\\z"});
    click(w, "Command4");
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\y\r\nN:\\w\r\n");
    EXPECT_EQ(items(w, "List2"), (QStringList{"N:\\y", "N:\\w"}));
    EXPECT_EQ(filesCaption(w), "Current Files (2)");
    select(w, "List1", {"N:\\p"});
    click(w, "Command2");
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\q\r\n");
    EXPECT_EQ(items(w, "List1"), QStringList{"N:\\q"});
    EXPECT_FALSE(fs::exists(share / "Files.tmp"));
    EXPECT_FALSE(fs::exists(share / "Locked.tmp"));
    EXPECT_TRUE(dialogs.messages.isEmpty());

    select(w, "List2", {});
    click(w, "Command4");
    select(w, "List1", {});
    click(w, "Command2");
    EXPECT_EQ(dialogs.messages,
              (QStringList{"No Files are selected.  Please select the files you wish to delete and try again.",
                           "No Files are selected.  Please select the files you wish to unlock and try again."}));
    EXPECT_EQ(items(w, "List2"), (QStringList{"N:\\y", "N:\\w"}));
}

TEST_F(MainWindowTest, ARefreshKeepsTheSelectionOfEntriesStillListed) {
    networkFolder("123456789\r\n", "N:\\a\r\nN:\\b\r\nN:\\c\r\n", "N:\\p\r\nN:\\q\r\n");
    MainWindow w;
    select(w, "List2", {"N:\\a", "N:\\c"});
    select(w, "List1", {"N:\\q"});
    // A launcher changes both lists; the ten-second refresh comes before the Delete.
    writeBytes(share / "Files.dat", "N:\\c\r\nN:\\a\r\nN:\\d\r\n");
    writeBytes(share / "Locked.dat", "N:\\q\r\nN:\\r\r\n");
    w.Timer1_Timer();
    w.Timer2_Timer();
    auto selected = [&](const char* list) {
        QStringList texts;
        for (const QListWidgetItem* item : control<QListWidget>(w, list)->selectedItems()) texts << entryOf(item);
        texts.sort();
        return texts;
    };
    EXPECT_EQ(selected("List2"), (QStringList{"N:\\a", "N:\\c"}));
    EXPECT_EQ(selected("List1"), QStringList{"N:\\q"});
    click(w, "Command4");
    click(w, "Command2");
    EXPECT_TRUE(dialogs.messages.isEmpty()) << dialogs.messages.join("|").toStdString();
    EXPECT_EQ(readBytes(share / "Files.dat"), "N:\\d\r\n");
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\r\r\n");

    // An entry that has left the list leaves the selection with it.
    select(w, "List2", {"N:\\d"});
    fs::remove(share / "Files.dat");
    w.Timer2_Timer();
    EXPECT_TRUE(selected("List2").isEmpty());
}

TEST_F(MainWindowTest, DeleteFromAListFileThatVanishedLeavesNoFileBehind) {
    networkFolder("123456789\r\n", "", "N:\\p\r\n");
    MainWindow w;
    fs::remove(share / "Locked.dat");
    select(w, "List1", {"N:\\p"});
    click(w, "Command2");
    EXPECT_FALSE(fs::exists(share / "Locked.dat"));
    EXPECT_FALSE(fs::exists(share / "Locked.tmp"));
    EXPECT_TRUE(items(w, "List1").isEmpty());
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(MainWindowTest, LockAllCopiesTheCurrentFilesAndUnlockAllEmptiesTheLocks) {
    networkFolder("123456789\r\n", "N:\\a.doc\r\nN:\\b.doc\r\n", "N:\\z.doc\r\n");
    MainWindow w;
    click(w, "Command13");
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\a.doc\r\nN:\\b.doc\r\n");
    EXPECT_EQ(items(w, "List1"), (QStringList{"N:\\a.doc", "N:\\b.doc"}));
    click(w, "Command14");
    EXPECT_FALSE(fs::exists(share / "Locked.dat"));  // emptied, then deleted by the refresh
    EXPECT_TRUE(items(w, "List1").isEmpty());

    // Without registered documents Lock All keeps the locks users hold.
    writeBytes(share / "Locked.dat", "N:\\z.doc\r\n");
    fs::remove(share / "Files.dat");
    click(w, "Command13");
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\z.doc\r\n");
    EXPECT_EQ(items(w, "List1"), QStringList{"N:\\z.doc"});
}

// A launcher's lock held by a process of its own, as a launcher waiting on an application.
class HeldLock {
public:
    explicit HeldLock(const std::string& document)
        : pid_(platform::startProcess(platform::windowsPath(LOCK_DRIVER) + " N:\\ 0 lock " + document)) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!holds(document) && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ~HeldLock() { kill(); }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    // kill -9: the lock and its record stay behind, as a crashed launcher leaves them.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        while (platform::processRunning(pid_)) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        pid_ = 0;
    }

private:
    static bool holds(const std::string& document) {
        for (const shared::LockHolder& h : shared::readHolders("N:\\"))
            if (h.document == document) return true;
        return false;
    }
    int32_t pid_;
};

TEST_F(MainWindowTest, LocksShowTheirHoldersAndALiveOneGoesOnlyAfterTheQuestion) {
    networkFolder("123456789\r\n");
    HeldLock live("N:\\Docs\\live.txt");
    HeldLock crashed("N:\\Docs\\crashed.txt");
    crashed.kill();
    shared::appendLine("N:\\Locked.dat", "N:\\hand.txt");
    MainWindow w;
    const QString holder = QString::fromStdString(" \u2014 " + platform::userName() + " on " + platform::hostName());
    QStringList shown;
    for (int i = 0; i < control<QListWidget>(w, "List1")->count(); ++i)
        shown << control<QListWidget>(w, "List1")->item(i)->text();
    EXPECT_EQ(shown, (QStringList{"N:\\Docs\\live.txt" + holder + ", under a minute",
                                  "N:\\Docs\\crashed.txt" + holder + ", under a minute, stale",
                                  "N:\\hand.txt \u2014 holder unknown"}));

    // A stale lock and one without a holder go at once.
    select(w, "List1", {"N:\\Docs\\crashed.txt", "N:\\hand.txt"});
    click(w, "Command2");
    EXPECT_TRUE(dialogs.questions.isEmpty());
    EXPECT_EQ(readBytes(share / "Locked.dat"), "N:\\Docs\\live.txt\r\n");
    ASSERT_EQ(shared::readHolders("N:\\").size(), 1u);

    // A live one only after the question, answered Yes; No keeps it.
    for (const bool yes : {false, true}) {
        select(w, "List1", {"N:\\Docs\\live.txt"});
        dialogs.questions.clear();
        dialogs.answers = {yes};
        click(w, "Command2");
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_TRUE(dialogs.questions[0].startsWith("Unlock Confirm: This document is open in a launcher"));
        EXPECT_TRUE(dialogs.questions[0].contains("N:\\Docs\\live.txt" + holder)) << dialogs.questions[0].toStdString();
        EXPECT_EQ(readBytes(share / "Locked.dat"), yes ? "" : "N:\\Docs\\live.txt\r\n");
    }
    EXPECT_FALSE(fs::exists(share / "Holders.dat"));

    // Unlock All asks the same way.
    HeldLock again("N:\\Docs\\again.txt");
    for (const bool yes : {false, true}) {
        dialogs.questions.clear();
        dialogs.answers = {yes};
        click(w, "Command14");
        ASSERT_EQ(dialogs.questions.size(), 1);
        EXPECT_EQ(fs::exists(share / "Locked.dat"), !yes);
        EXPECT_EQ(fs::exists(share / "Holders.dat"), !yes);
    }
}

TEST_F(MainWindowTest, ExitAndClosingEachShutTheLibraryDownOnce) {
    for (const bool viaMenu : {true, false}) {
        SCOPED_TRACE(viaMenu);
        library.calls.clear();
        networkFolder("123456789\r\n");
        {
            MainWindow w;
            w.show();
            EXPECT_TRUE(fs::exists(work() / "k1.bin"));
            if (viaMenu)
                w.findChild<QAction*>("fleext")->trigger();
            else
                w.close();
            w.close();  // a second close after Exit does not shut down again
        }
        EXPECT_EQ(library.callsOf("VrkShutDown"), std::vector<std::string>{""});
        for (const auto& entry : fs::directory_iterator(work())) {
            const std::string name = entry.path().filename().string();
            EXPECT_FALSE(name.size() >= 2 && name[0] == 'k' && isdigit(static_cast<unsigned char>(name[1]))) << name;
        }
    }
}

}  // namespace
}  // namespace varkel::admin::test
