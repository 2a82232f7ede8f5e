#include "LauncherFixture.h"

#include "SystemFileNames.h"

#include <QLineEdit>
#include <QTimer>

namespace varkel::user::test {
namespace {

using Cycle = Launcher;

TEST_F(Cycle, AnExistingDocumentIsEditedAndEncryptedBackWithNothingLeftBehind) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    EXPECT_EQ(child<QLabel>(*form, "Label1")->text(), "N:\\Docs\\report.txt");
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    EXPECT_EQ(status(*form), cycleLines("report.txt", true));
    EXPECT_TRUE(dialogs_.messages.empty());
    EXPECT_EQ(decrypt(share_ / "Docs" / "report.txt"), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");  // the only entry: the list stays, empty
    EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\Docs\\report.txt\r\n");
    EXPECT_FALSE(fs::exists(work() / "vrktemp.bin"));
    EXPECT_FALSE(fs::exists(share_ / "Docs" / "report.txt.vrknew"));
    EXPECT_EQ(fs::file_size(share_ / "Docs" / "report.txt"), kMark.size() + 7);
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    // The last five status lines stay in view.
    auto* list = child<QListWidget>(*form, "List1");
    for (int i = list->count() - 5; i < list->count(); ++i)
        EXPECT_TRUE(list->viewport()->rect().contains(list->visualItemRect(list->item(i)))) << i;
    EXPECT_FALSE(list->viewport()->rect().contains(list->visualItemRect(list->item(0))));

    QTest::mouseClick(child<QPushButton>(*form, "Command15"), Qt::LeftButton);
    EXPECT_EQ(list->count(), 0);
}

TEST_F(Cycle, ANewDocumentIsCreatedEncryptedAndRegistered) {
    auto form = start();
    auto* drive = child<QComboBox>(*form, "Drive1");
    drive->setCurrentIndex(drive->findText("N:"));
    clickItem(child<QListWidget>(*form, "Dir1"), "Docs");
    auto* label = child<QLabel>(*form, "Label1");
    auto* text = child<QLineEdit>(*form, "Text1");
    QTest::keyClicks(text, "me");
    EXPECT_EQ(label->text(), "N:\\Docs\\me");
    QTest::keyClicks(text, "mo.txt");
    EXPECT_EQ(label->text(), "N:\\Docs\\memo.txt");
    EXPECT_TRUE(child<QCheckBox>(*form, "chkNew")->isChecked());
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    EXPECT_EQ(status(*form), cycleLines("memo.txt", false));
    EXPECT_EQ(decrypt(share_ / "Docs" / "memo.txt"), " \r\n edited");
    EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\Docs\\memo.txt\r\n");
    EXPECT_FALSE(fs::exists(work() / "memo.txt"));
    EXPECT_EQ(label->text(), "N:\\Docs\\memo.txt");
    EXPECT_FALSE(child<QCheckBox>(*form, "chkNew")->isChecked());
    EXPECT_EQ(text->text(), "");
}

TEST_F(Cycle, ADocumentLockedInAnotherLetterCaseIsRefusedAndNothingChanges) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    const std::string document = readBytes(share_ / "Docs" / "report.txt");
    writeBytes(share_ / "Locked.dat", "N:\\DOCS\\REPORT.TXT\r\n");
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    EXPECT_EQ(status(*form), (std::vector<std::string>{"Locking report.txt", "...Lock unsuccessful"}));
    EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kInUseMessage});
    EXPECT_EQ(readBytes(share_ / "Docs" / "report.txt"), document);
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "N:\\DOCS\\REPORT.TXT\r\n");
    EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\Docs\\report.txt\r\n");
    EXPECT_FALSE(fs::exists(work() / "report.txt"));
}

TEST_F(Cycle, TheUnlockRemovesOnlyThisDocumentFromTheMiddleOfTheList) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    writeBytes(share_ / "Locked.dat", "N:\\a.txt\r\n");
    // Another launcher locks a document while the application runs.
    writeEditor("printf 'N:\\\\c.txt\\r\\n' >> '" + (share_ / "Locked.dat").string() + "'");
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    EXPECT_EQ(status(*form).back(), "Unlocking report.txt");
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "N:\\a.txt\r\nN:\\c.txt\r\n");
}

// Folder, file and whether the cycle goes ahead.
struct PathCase {
    std::string name;
    std::vector<QString> folders;
    QString file;
    bool opens;
};

class Paths : public Launcher, public ::testing::WithParamInterface<PathCase> {};

TEST_P(Paths, TheExtensionCheckLooksAtTheWholePathAndBlanksStayInNames) {
    const PathCase& c = GetParam();
    fs::path host = share_;
    std::string document = "N:";
    for (const auto& f : c.folders) {
        host /= f.toStdString();
        document += "\\" + f.toStdString();
    }
    document += "\\" + c.file.toStdString();
    encrypt(host / c.file.toStdString(), kMark);
    auto form = start();
    pick(*form, c.folders, c.file);
    EXPECT_EQ(child<QLabel>(*form, "Label1")->text().toStdString(), document);
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    if (c.opens) {
        EXPECT_EQ(status(*form), cycleLines(c.file.toStdString(), true));
        EXPECT_TRUE(dialogs_.messages.empty()) << dialogs_.messages.front();
        EXPECT_EQ(decrypt(host / c.file.toStdString()), kMark + " edited");
    } else {
        EXPECT_EQ(dialogs_.messages, std::vector<std::string>{kNoExtensionMessage});
        EXPECT_TRUE(status(*form).empty());
        EXPECT_FALSE(fs::exists(share_ / "Locked.dat"));
    }
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
}

INSTANTIATE_TEST_SUITE_P(Launcher, Paths,
                         ::testing::Values(PathCase{"DotInFolderOnly", {"Data.v2"}, "notes", true},
                                           PathCase{"NoDot", {"Docs"}, "notes", false},
                                           PathCase{"BlanksInFolderAndName", {"My Docs"}, "my report.txt", true}),
                         [](const auto& info) { return info.param.name; });

// The key is read once the lock is held, so a conversion that ran since start-up (it cannot run
// while the document is locked) is seen before the document is decrypted.
TEST_F(Cycle, AChangedKeyIsSetUpOnceTheLockIsHeldBeforeTheDocumentIsOpened) {
    auto form = start();
    const std::string newKey = "987654321";
    writeBytes(share_ / "key.dat", newKey + "\r\n");  // the administrator converted to a new key
    encrypt(share_ / "Docs" / "report.txt", kMark, newKey);
    pick(*form, {"Docs"}, "report.txt");
    calls_.clear();
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    std::vector<std::string> expected = cycleLines("report.txt", true);
    expected.insert(expected.begin() + 2, "The key has changed: setting up the new key");  // after the lock
    EXPECT_EQ(status(*form), expected);
    EXPECT_EQ(calls_.front(), "VrkGenBinaryKeys");
    EXPECT_EQ(decrypt(share_ / "Docs" / "report.txt", newKey), kMark + " edited");
}

// A working copy or "vrktemp.bin" of an earlier cycle, as a file or as a symbolic link to a
// file elsewhere, is neither used nor written through.
TEST_F(Cycle, LeftoversOfAnEarlierCycleAreNeitherUsedNorOverwritten) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    writeBytes(root() / "elsewhere", "left over");
    for (const bool link : {false, true}) {
        for (const std::string leftover : {"report.txt", "vrktemp.bin"}) {
            SCOPED_TRACE(leftover + (link ? " (a link)" : ""));
            if (link) fs::create_symlink(root() / "elsewhere", work() / leftover); else writeBytes(work() / leftover, "left over");
            dialogs_.messages.clear();
            auto form = start();
            pick(*form, {"Docs"}, "report.txt");
            QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
            ASSERT_EQ(dialogs_.messages.size(), 1u);
            EXPECT_NE(dialogs_.messages[0].find("\"" + leftover + "\""), std::string::npos) << dialogs_.messages[0];
            EXPECT_EQ(readBytes(work() / leftover), "left over");
            EXPECT_EQ(readBytes(root() / "elsewhere"), "left over");
            EXPECT_TRUE(status(*form).empty());
            EXPECT_FALSE(fs::exists(share_ / "Locked.dat"));
            fs::remove(work() / leftover);
        }
    }
}

TEST_F(Cycle, ANewDocumentNeverTakesAnExistingFilesPlace) {
    for (const std::string existing : {"memo.txt", "MEMO.TXT"}) {
        SCOPED_TRACE(existing);
        writeBytes(share_ / "Docs" / existing, "already here");
        dialogs_.messages.clear();
        auto form = start();
        auto* drive = child<QComboBox>(*form, "Drive1");
        drive->setCurrentIndex(drive->findText("N:"));
        clickItem(child<QListWidget>(*form, "Dir1"), "Docs");
        QTest::keyClicks(child<QLineEdit>(*form, "Text1"), "memo.txt");
        QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
        EXPECT_EQ(dialogs_.messages, std::vector<std::string>{existsMessage("N:\\Docs\\memo.txt")});
        EXPECT_TRUE(status(*form).empty());
        EXPECT_EQ(readBytes(share_ / "Docs" / existing), "already here");
        EXPECT_FALSE(fs::exists(share_ / "Locked.dat"));
        EXPECT_FALSE(fs::exists(share_ / "Files.dat"));
        EXPECT_FALSE(fs::exists(work() / "memo.txt"));
        fs::remove(share_ / "Docs" / existing);
    }
}

TEST_F(Cycle, AFailedWriteBackKeepsTheWorkEncryptedAndWipesThePlaintext) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    // The document's folder goes away while the application runs.
    writeEditor("mv '" + (share_ / "Docs").string() + "' '" + (share_ / "Gone").string() + "'");
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    const std::string kept = platform::windowsPath(work() / "report.txt.vrk");
    EXPECT_NE(dialogs_.messages[0].find("kept encrypted in " + kept), std::string::npos) << dialogs_.messages[0];
    EXPECT_EQ(decrypt(work() / "report.txt.vrk"), kMark + " edited");
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    EXPECT_FALSE(fs::exists(work() / "vrktemp.bin"));
    EXPECT_EQ(decrypt(share_ / "Gone" / "report.txt"), kMark);  // the document itself is whole
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "N:\\Docs\\report.txt\r\n");
}

TEST_F(Cycle, AnApplicationThatCannotStartLeavesNoPlaintextAndNoLock) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    writeBytes(share_ / "apps.dat", "Edit:C:\\no\\such\\program\r\n");
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_NE(dialogs_.messages[0].find("could not be opened"), std::string::npos) << dialogs_.messages[0];
    EXPECT_EQ(status(*form).back(), "Launching application");
    EXPECT_TRUE(plaintextInWorkingFolder().empty());
    EXPECT_FALSE(fs::exists(work() / "report.txt"));
    EXPECT_EQ(readBytes(share_ / "Locked.dat"), "");
    EXPECT_EQ(callsOf("VrkKillFile"), 1);
    EXPECT_EQ(decrypt(share_ / "Docs" / "report.txt"), kMark);
}

TEST_F(Cycle, TheWindowKeepsProcessingItsEventsDuringTheWait) {
    encrypt(share_ / "Docs" / "report.txt", kMark);
    const fs::path go = root() / "go";
    // The application only edits once the launcher has run a queued event during the wait.
    writeEditor("n=0; while [ ! -e '" + go.string() + "' ] && [ $n -lt 100 ]; do sleep 0.05; n=$((n+1)); done\n"
                "[ -e '" + go.string() + "' ] || exit 4");
    auto form = start();
    pick(*form, {"Docs"}, "report.txt");
    QTimer::singleShot(0, [&] { writeBytes(go, ""); });
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    EXPECT_EQ(decrypt(share_ / "Docs" / "report.txt"), kMark + " edited");
}

// The system's own files are refused by name, wherever they are picked, and nothing is touched.
class SystemFiles : public Launcher, public ::testing::WithParamInterface<std::string> {};

TEST_P(SystemFiles, AreRefusedSayingWhatTheyAre) {
    const std::string name = GetParam();
    const bool inWorkingFolder = name == "network.dat";
    const fs::path file = inWorkingFolder ? work() / name : share_ / name;
    if (!fs::exists(file)) writeBytes(file, "N:\\Docs\\a.txt\r\n");
    const std::string before = readBytes(file);
    auto form = start();
    if (inWorkingFolder) {
        child<QLabel>(*form, "Label1")->setText(QString::fromStdString(platform::windowsPath(file)));
    } else {
        pick(*form, {}, QString::fromStdString(name));
    }
    const std::string document = child<QLabel>(*form, "Label1")->text().toStdString();
    calls_.clear();
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    ASSERT_EQ(dialogs_.messages.size(), 1u);
    EXPECT_EQ(dialogs_.messages[0], systemFileMessage(document, *shared::systemFileRole(name)));
    EXPECT_NE(dialogs_.messages[0].find("one of the system's own files"), std::string::npos);
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_TRUE(status(*form).empty());
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ(readBytes(file), before);
    EXPECT_TRUE(name == "Locked.dat" || !fs::exists(share_ / "Locked.dat"));
    EXPECT_TRUE(inWorkingFolder || !fs::exists(work() / name));
}

INSTANTIATE_TEST_SUITE_P(Launcher, SystemFiles,
                         ::testing::Values("key.dat", "Files.dat", "Locked.dat", "apps.dat", "temp.dat", "network.dat",
                                           "Locked.lck", "Holders.dat", "Encrypt.jnl", "report.txt.vrk-scratch",
                                           "KEY.DAT"),
                         [](const auto& info) {
                             std::string n = info.param;
                             for (char& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

// A file the network folder does not keep encrypted: outside it, or inside but not registered.
struct StrangerCase {
    std::string name;
    bool outside;
    bool answer;
};

class Strangers : public Launcher, public ::testing::WithParamInterface<StrangerCase> {};

TEST_P(Strangers, AreOpenedOnlyWhenTheUserSaysYes) {
    const StrangerCase& c = GetParam();
    const fs::path file = c.outside ? root() / "elsewhere" / "plain.txt" : share_ / "Docs" / "plain.txt";
    encryptOnly(file, kMark);
    writeBytes(share_ / "Files.dat", "N:\\Docs\\other.txt\r\n");
    const std::string before = readBytes(file);
    dialogs_.answer = c.answer;
    auto form = start();
    if (c.outside) {
        child<QLabel>(*form, "Label1")->setText(QString::fromStdString(platform::windowsPath(file)));
    } else {
        pick(*form, {"Docs"}, "plain.txt");
    }
    const std::string document = platform::windowsPath(file);
    calls_.clear();
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);

    EXPECT_EQ(dialogs_.questions, std::vector<std::string>{document +
                                                           " is not one of the network folder's encrypted documents."
                                                           "  Open it anyway?"});
    if (!c.answer) {
        EXPECT_TRUE(dialogs_.messages.empty());
        EXPECT_TRUE(status(*form).empty());
        EXPECT_TRUE(calls_.empty());
        EXPECT_EQ(readBytes(file), before);
        EXPECT_FALSE(fs::exists(share_ / "Locked.dat"));
        EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\Docs\\other.txt\r\n");
        EXPECT_FALSE(fs::exists(work() / "plain.txt"));
        return;
    }
    EXPECT_EQ(status(*form), cycleLines("plain.txt", true));
    EXPECT_EQ(decrypt(file), kMark + " edited");
    EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\Docs\\other.txt\r\n" + document + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(Launcher, Strangers,
                         ::testing::Values(StrangerCase{"UnregisteredNo", false, false},
                                           StrangerCase{"UnregisteredYes", false, true},
                                           StrangerCase{"OutsideNo", true, false},
                                           StrangerCase{"OutsideYes", true, true}),
                         [](const auto& info) { return info.param.name; });

TEST_F(Cycle, ARegisteredDocumentInAnotherLetterCaseIsOpenedWithoutAQuestion) {
    encryptOnly(share_ / "Docs" / "report.txt", kMark);
    writeBytes(share_ / "Files.dat", "N:\\DOCS\\REPORT.TXT\r\n");
    auto form = start();
    child<QLabel>(*form, "Label1")->setText("n:\\docs\\Report.Txt");
    QTest::mouseClick(child<QPushButton>(*form, "Command1"), Qt::LeftButton);
    EXPECT_TRUE(dialogs_.questions.empty());
    EXPECT_EQ(status(*form), cycleLines("report.txt", true));
    // The lists name the document as it is on disk; the registration still compares exactly.
    EXPECT_EQ(readBytes(share_ / "Files.dat"), "N:\\DOCS\\REPORT.TXT\r\nN:\\Docs\\report.txt\r\n");
}

}  // namespace
}  // namespace varkel::user::test
