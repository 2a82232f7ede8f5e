// "Transfer Files" and "Restore Files" on the real main window, with the folder picker driven
// as a person would.
#include "ConsoleFixture.h"
#include "MainWindow.h"
#include "SystemTransfer.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <set>
#include <sys/resource.h>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;

const std::string kKey = "271828182845\r\n";
const std::string kFiles = "N:\\Docs\\a.doc\r\nN:\\Docs\\b.doc\r\n";
const std::string kApps = "Writer:C:\\usr\\bin\\writer\r\nSheet:C:\\usr\\bin\\sheet\r\n";
const std::string kKeys = "271828182845\r\n918273645546372819\r\n";
const std::string kLocked = "N:\\Docs\\b.doc\r\n";
const QString kNoKey =
    "No Key has been defined as yet.  Your users cannot use this system until keys have been generated and "
    "selected for use, or if this is the result of a transfer, the files are restored.";

// While alive, no file of this process may grow beyond `limit` bytes: a write past it fails
// as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit lowered = previous_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit() { lift(); }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;
    void lift() {
        if (lifted_) return;
        lifted_ = true;
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
    bool lifted_ = false;
};

class TransferTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        drive = root() / "d";
        out = drive / "Out";
        fs::create_directories(out);
        fs::create_directories(root() / "b");
        mapDrives("N: " + share.string() + "\nD: " + drive.string() + "\nB: " + (root() / "b").string() +
                  "\nS: " + share.string() + "\nW: " + work().string() + "\n");
    }
    // The system in service: a network folder with every system file, and the key list.
    void inService(bool withApps = true) {
        networkFolder(kKey, kFiles, kLocked);
        if (withApps) writeBytes(share / "apps.dat", kApps);
        writeBytes(work() / "Keys.dat", kKeys);
    }
    // Clicks `button` and drives the folder picker it opens: drive, then folders, then "Set"
    // (or "Cancel"). `beforeSet` runs just before the button is pressed.
    void pickWith(MainWindow& w, const char* button, const char* caption, const char* driveLetter,
                  std::vector<const char*> path, const char* press = "Command1",
                  std::function<void()> beforeSet = {}) {
        whenModal([=](QWidget* window) {
            EXPECT_EQ(window->objectName(), "frmPath");
            EXPECT_EQ(window->windowTitle(), caption);
            auto* drives = window->findChild<QComboBox*>("Drive1");
            drives->setCurrentIndex(drives->findText(driveLetter));
            auto* dirs = window->findChild<QListWidget*>("Dir1");
            for (const char* folder : path) {
                const auto found = dirs->findItems(folder, Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1) << folder;
                dirs->setCurrentItem(found[0]);
                QTest::keyClick(dirs, Qt::Key_Return);
            }
            if (beforeSet) beforeSet();
            window->findChild<QPushButton*>(press)->click();
        });
        w.findChild<QPushButton*>(button)->click();
        EXPECT_EQ(PathMode, 0);
    }
    void transfer(MainWindow& w, const char* driveLetter = "D:", std::vector<const char*> path = {"Out"}) {
        pickWith(w, "Command12", "Select Folder to Transfer", driveLetter, std::move(path));
    }
    void restore(MainWindow& w, const char* driveLetter = "D:", std::vector<const char*> path = {"Out"}) {
        pickWith(w, "Command10", "Select Folder to Restore from", driveLetter, std::move(path));
    }
    // Runs `command` inside the program's event loop; true when the command ended the program
    // (the loop returned), false when the loop had to be stopped from outside.
    static bool endsTheProgram(std::function<void()> command) {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(5000);
        QTimer::singleShot(0, std::move(command));
        return QApplication::exec() == 0;
    }
    static std::set<std::string> names(const fs::path& folder) {
        std::set<std::string> all;
        for (const auto& entry : fs::directory_iterator(folder)) all.insert(entry.path().filename().string());
        return all;
    }
    bool scratchFilesLeft() const {
        for (const auto& entry : fs::directory_iterator(work()))
            if (entry.path().filename().string().starts_with("k1.")) return true;
        return false;
    }
    // The original system, byte for byte, as `inService` made it.
    void expectInService(bool withApps = true) {
        EXPECT_EQ(readBytes(share / "key.dat"), kKey);
        EXPECT_EQ(readBytes(share / "Files.dat"), kFiles);
        if (withApps) {
            EXPECT_EQ(readBytes(share / "apps.dat"), kApps);
        }
        EXPECT_EQ(readBytes(keyList()), kKeys);
        EXPECT_EQ(readBytes(share / "Locked.dat"), kLocked);
    }
    // The key list under whichever spelling it has: "Keys.dat" and "keys.dat" are one file to
    // the console.
    fs::path keyList() const { return fs::exists(work() / "keys.dat") ? work() / "keys.dat" : work() / "Keys.dat"; }

    fs::path drive;
    fs::path out;
};

TEST_F(TransferTest, TransferMovesTheFilesOutOverwritingThemInPlaceAndEndsTheConsole) {
    inService();
    // A list longer than one pattern: the overwrite covers all of it.
    std::string manyKeys;
    for (int i = 0; i < 500; ++i) manyKeys += "123456789123456789\r\n";
    writeBytes(work() / "Keys.dat", manyKeys);
    // Second names for each file see what was written into it before it was deleted.
    fs::create_directories(root() / "links");
    const std::vector<std::pair<fs::path, fs::path>> links = {{share / "key.dat", root() / "links" / "key"},
                                                                {share / "Files.dat", root() / "links" / "files"},
                                                                {share / "apps.dat", root() / "links" / "apps"},
                                                                {work() / "Keys.dat", root() / "links" / "keys"}};
    for (const auto& [file, link] : links) fs::create_hard_link(file, link);

    MainWindow w;
    w.show();
    library.calls.clear();
    qsizetype messagesAtShutDown = -1;
    library.onCall = [&](const std::string& op) {
        if (op == "VrkShutDown") messagesAtShutDown = dialogs.messages.size();
    };
    EXPECT_TRUE(endsTheProgram([&] { transfer(w); }));

    EXPECT_EQ(dialogs.messages,
              QStringList{"System Files have been transferred.  The Interface Administrator will now terminate."});
    EXPECT_EQ(library.callsOf("VrkShutDown"), std::vector<std::string>{""});
    EXPECT_EQ(messagesAtShutDown, 1);  // the message first, then the shut-down
    EXPECT_FALSE(scratchFilesLeft());
    EXPECT_FALSE(w.isVisible());

    EXPECT_EQ(names(out), (std::set<std::string>{"key.dat", "Files.dat", "apps.dat", "keys.dat"}));
    EXPECT_EQ(readBytes(out / "key.dat"), kKey);
    EXPECT_EQ(readBytes(out / "Files.dat"), kFiles);
    EXPECT_EQ(readBytes(out / "apps.dat"), kApps);
    EXPECT_EQ(readBytes(out / "keys.dat"), manyKeys);
    EXPECT_EQ(names(share), std::set<std::string>{"Locked.dat"});
    EXPECT_EQ(readBytes(share / "Locked.dat"), kLocked);
    EXPECT_FALSE(fs::exists(work() / "Keys.dat"));
    EXPECT_EQ(readBytes(work() / "network.dat"), "N:\\\r\n");

    const std::string line74 = std::string(74, '@') + "\r\n";
    std::string list;
    for (int i = 0; i < 100; ++i) list += line74;
    EXPECT_EQ(readBytes(root() / "links" / "key"), std::string(39, '@') + "\r\n");
    EXPECT_EQ(readBytes(root() / "links" / "files"), list);
    EXPECT_EQ(readBytes(root() / "links" / "apps"), list);
    EXPECT_EQ(readBytes(root() / "links" / "keys"), list + list);  // 10000 bytes, covered by two patterns
}

TEST_F(TransferTest, TransferWithoutAppsIsIncompleteAndRestoreBringsTheRestBack) {
    inService(/*withApps=*/false);
    writeBytes(share / "apps.dat", "");  // no complete slot: counts as missing
    {
        MainWindow w;
        w.show();
        EXPECT_TRUE(endsTheProgram([&] { transfer(w); }));
    }
    EXPECT_EQ(dialogs.messages, QStringList{"System Files have been transferred, although the system is incomplete.  "
                                            "You should complete the system before you transfer again.  The Interface "
                                            "Administrator will now terminate."});
    EXPECT_EQ(names(out), (std::set<std::string>{"key.dat", "Files.dat", "keys.dat"}));
    EXPECT_FALSE(fs::exists(share / "apps.dat"));
    EXPECT_FALSE(fs::exists(share / "key.dat"));

    // The console's next start finds no key; the restore puts the files back and reloads.
    dialogs.messages.clear();
    library.calls.clear();
    MainWindow w;
    EXPECT_EQ(dialogs.messages, QStringList{kNoKey});
    EXPECT_TRUE(w.findChild<QListWidget*>("List2")->count() == 0);
    dialogs.messages.clear();
    restore(w);
    EXPECT_EQ(dialogs.messages,
              (QStringList{"System Files have been restored from D:\\Out\\: key.dat, Files.dat, keys.dat.",
                           "The restored system is not yet complete and should be completed before the next transfer.  "
                           "The system should contain the keys, applications and files used."}));
    expectInService(/*withApps=*/false);
    EXPECT_FALSE(fs::exists(share / "apps.dat"));
    EXPECT_EQ(names(out), (std::set<std::string>{"key.dat", "Files.dat", "keys.dat"}));  // left in place
    EXPECT_EQ(w.findChild<QLineEdit*>("Text1")->text(), "N:\\");
    EXPECT_EQ(w.findChild<QLineEdit*>("Text2")->text(), "271828182845");
    EXPECT_EQ(w.findChild<QListWidget*>("List2")->count(), 2);
    EXPECT_EQ(w.findChild<QListWidget*>("List3")->count(), 2);
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame3")->title(), "Current Files (2)");
    EXPECT_EQ(library.callsOf("VrkGenBinaryKeys"), std::vector<std::string>{"271828182845"});
    EXPECT_TRUE(fs::exists(work() / "k1.bin"));  // the library is set up with the restored key
    EXPECT_TRUE(library.callsOf("VrkShutDown").empty());
}

TEST_F(TransferTest, RestoreOfAWholeSystemFromADriveCFolderSaysWhatWasRestored) {
    writeBytes(work() / "network.dat", "N:\\\r\n");
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, std::string>>{
             {"key.dat", kKey}, {"Files.dat", kFiles}, {"apps.dat", kApps}, {"keys.dat", kKeys}})
        writeBytes(out / name, bytes);
    writeBytes(share / "key.dat", "");  // left empty: no key
    MainWindow w;
    dialogs.messages.clear();
    // C: is the host root, so the scratch folder is reached from C:\ folder by folder.
    std::vector<std::string> parts;
    for (const auto& part : out.relative_path()) parts.push_back(part.string());
    std::vector<const char*> path;
    for (const auto& part : parts) path.push_back(part.c_str());
    restore(w, "C:", path);
    const QString picked = QString::fromStdString("C:" + out.string()).replace('/', '\\') + "\\";
    EXPECT_EQ(dialogs.messages,
              QStringList{"System Files have been restored from " + picked + ": key.dat, Files.dat, apps.dat, keys.dat."});
    EXPECT_EQ(readBytes(share / "key.dat"), kKey);
    EXPECT_EQ(readBytes(share / "Files.dat"), kFiles);
    EXPECT_EQ(readBytes(share / "apps.dat"), kApps);
    EXPECT_EQ(readBytes(work() / "keys.dat"), kKeys);
    // Every generated key is in it: readable by the console's user only, whatever the copy was.
    EXPECT_EQ(fs::status(work() / "keys.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(w.findChild<QLineEdit*>("Text2")->text(), "271828182845");
}

TEST_F(TransferTest, ADriveBeforeCOrACancelledPickerDoesNothing) {
    inService();
    MainWindow w;
    library.calls.clear();
    struct Case {
        const char* button;
        const char* caption;
        const char* driveLetter;
        const char* press;
        QStringList messages;
    };
    const QString refused = "Transfer must be on C: or greater drive";
    const Case cases[] = {
        {"Command12", "Select Folder to Transfer", "B:", "Command1", {refused}},
        {"Command10", "Select Folder to Restore from", "B:", "Command1", {refused}},
        {"Command12", "Select Folder to Transfer", "D:", "Command2", {}},
        {"Command10", "Select Folder to Restore from", "D:", "Command2", {}},
    };
    writeBytes(root() / "b" / "key.dat", "999999999\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " " + c.driveLetter + " " + c.press);
        dialogs.messages.clear();
        PickedFolder = "D:\\Out";
        pickWith(w, c.button, c.caption, c.driveLetter, {}, c.press);
        EXPECT_EQ(dialogs.messages, c.messages);
        EXPECT_TRUE(library.calls.empty());
        EXPECT_TRUE(fs::is_empty(out));
        EXPECT_EQ(names(root() / "b"), std::set<std::string>{"key.dat"});
        expectInService();
    }
    // Closed by its close box: the picker hands back nothing, whatever an earlier pick left.
    PickedFolder = "D:\\Out";
    dialogs.messages.clear();
    whenModal([](QWidget* window) { window->close(); });
    w.findChild<QPushButton*>("Command12")->click();
    EXPECT_TRUE(dialogs.messages.isEmpty());
    EXPECT_TRUE(fs::is_empty(out));
    expectInService();
}

TEST_F(TransferTest, TransferWithoutAKeyCopiesAndDestroysNothing) {
    inService();
    fs::remove(share / "key.dat");
    MainWindow w;
    w.show();
    dialogs.messages.clear();
    library.calls.clear();
    transfer(w);
    EXPECT_EQ(dialogs.messages, QStringList{"The system cannot be transferred without a defined key."});
    EXPECT_TRUE(fs::is_empty(out));
    EXPECT_EQ(readBytes(share / "Files.dat"), kFiles);
    EXPECT_EQ(readBytes(share / "apps.dat"), kApps);
    EXPECT_EQ(readBytes(work() / "Keys.dat"), kKeys);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(TransferTest, RestoreNeedsANonEmptyKeyInTheFolder) {
    inService();
    writeBytes(out / "Files.dat", "N:\\other.doc\r\n");
    for (const bool emptyKey : {false, true}) {
        SCOPED_TRACE(emptyKey);
        if (emptyKey) writeBytes(out / "key.dat", "");
        MainWindow w;
        dialogs.messages.clear();
        library.calls.clear();
        restore(w);
        EXPECT_EQ(dialogs.messages, QStringList{"The System Files do not exist at that location."});
        EXPECT_FALSE(fs::exists(out / "key.dat"));  // an empty one is deleted, a missing one not made
        EXPECT_EQ(readBytes(out / "Files.dat"), "N:\\other.doc\r\n");
        expectInService();
        EXPECT_TRUE(library.calls.empty());  // no reload
    }
}

TEST_F(TransferTest, TheNetworkFolderAndTheWorkingFolderAreRefusedUnderAnyName) {
    inService();
    MainWindow w;
    w.show();
    // N: is the network folder, S: another letter for it, W: the console's working folder.
    for (const char* driveLetter : {"N:", "S:", "W:"}) {
        SCOPED_TRACE(driveLetter);
        dialogs.messages.clear();
        library.calls.clear();
        transfer(w, driveLetter, {});
        EXPECT_EQ(dialogs.messages,
                  QStringList{"The System Files cannot be transferred to the Network Path or to the working folder "
                              "of the Interface Administrator.  Please select another folder."});
        dialogs.messages.clear();
        restore(w, driveLetter, {});
        EXPECT_EQ(dialogs.messages,
                  QStringList{"The System Files cannot be restored from the Network Path or from the working folder "
                              "of the Interface Administrator.  Please select the folder they were transferred to."});
        expectInService();
        EXPECT_TRUE(library.calls.empty());
        EXPECT_TRUE(w.isVisible());
    }
}

TEST_F(TransferTest, ACopyThatFailsOverwritesNothingAndTheConsoleGoesOn) {
    inService();
    std::string longList;
    for (int i = 0; i < 100; ++i) longList += "N:\\Docs\\document" + std::to_string(i) + ".doc\r\n";
    writeBytes(share / "Files.dat", longList);
    MainWindow w;
    w.show();
    dialogs.messages.clear();
    library.calls.clear();
    {
        // The transfer folder fills up while Files.dat is copied, after key.dat was.
        FileSizeLimit full(1000);
        transfer(w);
    }
    EXPECT_EQ(dialogs.messages, QStringList{"The System Files could not be copied to D:\\Out\\ (Files.dat: Disk full).  "
                                            "Nothing has been overwritten or deleted."});
    EXPECT_TRUE(fs::is_empty(out)) << "no copy and no scratch file is left";
    EXPECT_EQ(readBytes(share / "Files.dat"), longList);
    EXPECT_EQ(readBytes(share / "key.dat"), kKey);
    EXPECT_EQ(readBytes(share / "apps.dat"), kApps);
    EXPECT_EQ(readBytes(work() / "Keys.dat"), kKeys);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_TRUE(w.isVisible());

    // The folder is gone (a medium pulled) between the pick and the copy.
    dialogs.messages.clear();
    pickWith(w, "Command12", "Select Folder to Transfer", "D:", {"Out"}, "Command1", [&] { fs::remove_all(out); });
    EXPECT_EQ(dialogs.messages, QStringList{"The System Files could not be copied to D:\\Out\\ (key.dat: Path not "
                                            "found).  Nothing has been overwritten or deleted."});
    EXPECT_EQ(readBytes(share / "key.dat"), kKey);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(TransferTest, OriginalsThatCannotBeOverwrittenAreNamedAndTheConsoleStillEnds) {
    inService();
    MainWindow w;
    w.show();
    dialogs.messages.clear();
    // Room for the copies and for key.dat's pattern, not for the 7600-byte patterns of the lists.
    FileSizeLimit full(4096);
    library.onCall = [&](const std::string&) { full.lift(); };  // the shut-down writes its own files
    EXPECT_TRUE(endsTheProgram([&] { transfer(w); }));
    EXPECT_EQ(dialogs.messages,
              (QStringList{"These System Files could not be overwritten and deleted completely: N:\\Files.dat "
                           "(overwrite: Disk full), N:\\apps.dat (overwrite: Disk full), keys.dat (overwrite: Disk "
                           "full).  Their copies are in D:\\Out\\; please remove what is left of them by hand.",
                           "System Files have been transferred.  The Interface Administrator will now terminate."}));
    EXPECT_EQ(readBytes(out / "Files.dat"), kFiles);
    EXPECT_EQ(readBytes(out / "keys.dat"), kKeys);
    EXPECT_FALSE(fs::exists(share / "key.dat"));
    EXPECT_FALSE(fs::exists(share / "Files.dat"));  // deleted even though its overwrite stopped short
    EXPECT_EQ(library.callsOf("VrkShutDown"), std::vector<std::string>{""});
}

TEST_F(TransferTest, ARestoreThatFailsChangesNothingAndDoesNotReload) {
    writeBytes(work() / "network.dat", "N:\\\r\n");
    std::string longList;
    for (int i = 0; i < 100; ++i) longList += "N:\\Docs\\document" + std::to_string(i) + ".doc\r\n";
    writeBytes(out / "key.dat", "918273645546372819\r\n");
    writeBytes(out / "Files.dat", longList);
    writeBytes(share / "key.dat", kKey);  // the key in service stays whole
    MainWindow w;
    dialogs.messages.clear();
    library.calls.clear();
    {
        FileSizeLimit full(1000);
        restore(w);
    }
    EXPECT_EQ(dialogs.messages, QStringList{"The System Files could not be restored from D:\\Out\\ (Files.dat: Disk "
                                            "full).  Nothing has been changed."});
    EXPECT_EQ(names(share), (std::set<std::string>{"key.dat"}));
    EXPECT_EQ(readBytes(share / "key.dat"), kKey);
    EXPECT_TRUE(library.calls.empty());
    EXPECT_EQ(w.findChild<QLineEdit*>("Text2")->text(), "271828182845");
}

TEST_F(TransferTest, WithoutANetworkPathTheNetworkFilesAreThoseOfTheWorkingFolder) {
    writeBytes(work() / "key.dat", kKey);
    writeBytes(work() / "Files.dat", kFiles);
    writeBytes(work() / "Keys.dat", kKeys);
    MainWindow w;
    w.show();
    EXPECT_EQ(NetworkPath, "");
    dialogs.messages.clear();
    EXPECT_TRUE(endsTheProgram([&] { transfer(w); }));
    EXPECT_EQ(names(out), (std::set<std::string>{"key.dat", "Files.dat", "keys.dat"}));
    EXPECT_FALSE(fs::exists(work() / "key.dat"));
    EXPECT_FALSE(fs::exists(work() / "Files.dat"));
    EXPECT_FALSE(fs::exists(work() / "Keys.dat"));
    EXPECT_EQ(dialogs.messages.size(), 1);

    MainWindow again;
    restore(again);
    EXPECT_EQ(readBytes(work() / "key.dat"), kKey);
    EXPECT_EQ(readBytes(work() / "Files.dat"), kFiles);
    EXPECT_EQ(readBytes(work() / "keys.dat"), kKeys);
}

}  // namespace
}  // namespace varkel::admin::test
