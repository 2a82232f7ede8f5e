// Converting the registered documents to a new key through the console's windows.
#include "ConsoleFixture.h"
#include "Conversion.h"
#include "FolderEncryption.h"
#include "MainWindow.h"
#include "SystemFiles.h"
#include "WinPath.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <map>

namespace varkel::admin::test {
namespace {

namespace fs = std::filesystem;
using varkel::test::randomBytes;

const std::string kOldKey = "314159265358979323";
const std::string kNewKey = "271828182845904523";
const std::string kOtherKey = "141421356237309504";

class ConvertWindowTest : public ConsoleFixture {
protected:
    void SetUp() override {
        ConsoleFixture::SetUp();
        networkFolder(kOldKey + "\r\n");
        writeBytes(work() / "Keys.dat", kOldKey + "\r\n" + kNewKey + "\r\n" + kOtherKey + "\r\n");
    }
    // A document encrypted under the old key, named as the lists hold it.
    std::string addDocument(const fs::path& host, const std::string& plain) {
        writeBytes(host, plain);
        const std::string name = platform::windowsPath(host);
        run("VrkGenBinaryKeys", kOldKey);
        run("VrkBinaryFileEnc", commandName(name));
        plains[name] = plain;
        return name;
    }
    std::string plainUnder(const std::string& key, const std::string& document) {
        run("VrkGenBinaryKeys", key);
        run("VrkBinaryFileDec", commandName(document) + " check.tmp");
        const std::string plain = readBytes(work() / "check.tmp");
        fs::remove(work() / "check.tmp");
        return plain;
    }
    static void run(const char* op, std::string arg) {
        Library real;
        const int32_t status = std::string(op) == "VrkGenBinaryKeys"   ? real.VrkGenBinaryKeys(arg)
                               : std::string(op) == "VrkBinaryFileEnc" ? real.VrkBinaryFileEnc(arg)
                                                                       : real.VrkBinaryFileDec(arg);
        ASSERT_EQ(status, 0) << op << ' ' << arg;
    }
    // Opens frmConvert from the main window and lets `drive` work it.
    void convertWith(MainWindow& w, std::function<void(QWidget*)> drive) {
        whenModal([drive = std::move(drive)](QWidget* window) {
            EXPECT_EQ(window->objectName(), "frmConvert");
            EXPECT_EQ(window->windowTitle(), "Convert Files");
            drive(window);
            if (window->isVisible()) window->findChild<QPushButton*>("Command2")->click();
        });
        w.findChild<QPushButton*>("Command8")->click();
    }
    static void selectKey(QWidget* window, const std::string& key) {
        auto* list = window->findChild<QListWidget*>("List1");
        const auto found = list->findItems(QString::fromStdString(key), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(found[0]).center());
    }
    static QStringList items(QWidget* w, const char* name) {
        QStringList all;
        auto* list = w->findChild<QListWidget*>(name);
        for (int i = 0; i < list->count(); ++i) all << list->item(i)->text();
        return all;
    }

    std::map<std::string, std::string> plains;
};

class ConvertWindowAllowTest : public ConvertWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ConvertWindowAllowTest, ConvertMovesTheDocumentsToTheSelectedKeyAndTheMainWindowShowsIt) {
    const bool allowDriveC = GetParam();
    fs::create_directories(share / "Docs");
    fs::create_directories(root() / "local");
    const std::string a = addDocument(share / "Docs" / "a.doc", randomBytes(4100, 1));
    const std::string b = addDocument(share / "Docs" / "b c.xls", randomBytes(999, 2));
    const std::string local = addDocument(root() / "local" / "notes.txt", randomBytes(10, 3));
    ASSERT_EQ(local.substr(0, 2), "C:");
    shared::writeLines("N:\\Files.dat", {a, "N:\\Docs\\gone.doc", local, b});

    MainWindow w;
    dialogs.answers = {true};
    convertWith(w, [&](QWidget* window) {
        EXPECT_EQ(window->findChild<QLineEdit*>("Text1")->text().toStdString(), kOldKey);
        EXPECT_EQ(items(window, "List1"), (QStringList{QString::fromStdString(kOldKey), QString::fromStdString(kNewKey),
                                                       QString::fromStdString(kOtherKey)}));
        auto* allow = window->findChild<QCheckBox*>("chkAllow");
        EXPECT_EQ(allow->text(), "Allow C: Drive Filenames");
        EXPECT_TRUE(allow->isChecked());
        EXPECT_TRUE(window->findChild<QLabel*>("Label1")->text().isEmpty());
        selectKey(window, kNewKey);
        if (!allowDriveC) allow->click();
        window->findChild<QPushButton*>("Command1")->click();
        EXPECT_FALSE(window->isVisible());
    });

    // Before anything changes: how many will be converted, and how many lie outside N:\ (the
    // one on drive C: when it is allowed).
    EXPECT_EQ(dialogs.questions,
              QStringList{QStringLiteral("Convert Confirm: %1 files in Current Files will be converted to the new key.  ")
                              .arg(allowDriveC ? 4 : 3) +
                          (allowDriveC ? "1 of them lies outside the network folder N:\\.  " : "") +
                          "Are you sure you want to do this?"});
    const int converted = allowDriveC ? 3 : 2;
    ASSERT_FALSE(dialogs.messages.isEmpty());
    EXPECT_EQ(dialogs.messages.back(), QStringLiteral(" %1 files were converted.").arg(converted));
    EXPECT_EQ(plainUnder(kNewKey, a), plains[a]);
    EXPECT_EQ(plainUnder(kNewKey, b), plains[b]);
    EXPECT_EQ(plainUnder(allowDriveC ? kNewKey : kOldKey, local), plains[local]);
    EXPECT_FALSE(fs::exists(share / "Docs" / "gone.doc"));
    EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");

    const auto kept = allowDriveC ? std::vector<std::string>{a, local, b} : std::vector<std::string>{a, b};
    EXPECT_EQ(shared::readLines("N:\\Files.dat"), kept);
    EXPECT_EQ(w.findChild<QLineEdit*>("Text2")->text().toStdString(), kNewKey);
    EXPECT_EQ(items(&w, "List2").size(), static_cast<int>(kept.size()));
    EXPECT_EQ(w.findChild<QGroupBox*>("Frame3")->title(), QStringLiteral("Current Files (%1)").arg(kept.size()));
    EXPECT_FALSE(ConvertDone);
    EXPECT_FALSE(fs::exists(work() / "dec.tmp"));
}

INSTANTIATE_TEST_SUITE_P(DriveC, ConvertWindowAllowTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Allowed" : "Cleared"; });

struct Refusal {
    const char* name;
    bool selectKey;
    bool filesList;
    bool keyFile;
    const char* message;
};

void PrintTo(const Refusal& refusal, std::ostream* out) { *out << refusal.name; }

class ConvertRefusalTest : public ConvertWindowTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(ConvertRefusalTest, NothingChangesAndTheWindowStaysOpen) {
    const Refusal& refusal = GetParam();
    const std::string a = addDocument(share / "a.doc", randomBytes(1500, 4));
    if (refusal.filesList) shared::writeLines("N:\\Files.dat", {a});
    if (!refusal.keyFile) fs::remove(share / "key.dat");
    const std::string encrypted = readBytes(share / "a.doc");

    MainWindow w;
    dialogs.messages.clear();
    convertWith(w, [&](QWidget* window) {
        if (refusal.selectKey) selectKey(window, kNewKey);
        window->findChild<QPushButton*>("Command1")->click();
        EXPECT_TRUE(window->isVisible());
    });
    EXPECT_EQ(dialogs.messages, QStringList{refusal.message});
    EXPECT_EQ(readBytes(share / "a.doc"), encrypted);
    EXPECT_EQ(fs::exists(share / "key.dat"), refusal.keyFile);
    EXPECT_TRUE(library.callsOf("VrkBinaryFileDec").empty());
    EXPECT_FALSE(fs::exists(work() / kJournalFile));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConvertRefusalTest,
    ::testing::Values(Refusal{"NoKeySelected", false, true, true, "You must select the new key."},
                      Refusal{"NoFilesList", true, false, true, "There are no files to process Error."},
                      Refusal{"NoCurrentKey", true, true, false,
                              "No Key has been defined as yet, so there is nothing to convert from.  Set the current "
                              "key first."}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

TEST_F(ConvertWindowTest, WithoutKeyFileOrKeyListTheWindowOpensEmpty) {
    fs::remove(share / "key.dat");
    fs::remove(work() / "Keys.dat");
    MainWindow w;
    convertWith(w, [](QWidget* window) {
        EXPECT_TRUE(window->findChild<QLineEdit*>("Text1")->text().isEmpty());
        EXPECT_EQ(window->findChild<QListWidget*>("List1")->count(), 0);
    });
    EXPECT_FALSE(fs::exists(share / "key.dat"));
    EXPECT_FALSE(fs::exists(work() / "Keys.dat"));
}

TEST_F(ConvertWindowTest, ADocumentInUseStopsTheConversionUntilItIsUnlocked) {
    fs::create_directories(share / "Docs");
    const std::string a = addDocument(share / "Docs" / "a.doc", randomBytes(2100, 7));
    const std::string b = addDocument(share / "Docs" / "b.doc", randomBytes(1300, 8));
    shared::writeLines("N:\\Files.dat", {a, b});
    shared::writeLines("N:\\Locked.dat", {"n:\\docs\\B.DOC"});  // a user has it open
    const std::map<fs::path, std::string> before = {
        {share / "Docs" / "a.doc", readBytes(share / "Docs" / "a.doc")},
        {share / "Docs" / "b.doc", readBytes(share / "Docs" / "b.doc")},
        {share / "Files.dat", readBytes(share / "Files.dat")},
        {share / "Locked.dat", readBytes(share / "Locked.dat")},
        {share / "key.dat", readBytes(share / "key.dat")}};

    MainWindow w;
    library.calls.clear();
    dialogs.messages.clear();
    convertWith(w, [&](QWidget* window) {
        selectKey(window, kNewKey);
        window->findChild<QPushButton*>("Command1")->click();
        EXPECT_TRUE(window->isVisible());
    });
    EXPECT_EQ(dialogs.messages,
              QStringList{"A document in Current Files is in use, so the files cannot be converted to a new key now.  "
                          "Please have it closed, or unlock it under Locked Files, and try again:\n" +
                          QString::fromStdString(b)});
    EXPECT_TRUE(dialogs.questions.isEmpty());
    for (const auto& [file, bytes] : before) EXPECT_EQ(readBytes(file), bytes) << file;
    EXPECT_TRUE(library.callsOf("VrkBinaryFileDec").empty());
    EXPECT_FALSE(fs::exists(work() / kJournalFile));

    // The administrator unlocks it under Locked Files; then the conversion goes through.
    auto* locks = w.findChild<QListWidget*>("List1");
    ASSERT_EQ(locks->count(), 1);
    locks->item(0)->setSelected(true);
    w.findChild<QPushButton*>("Command2")->click();
    EXPECT_FALSE(shared::FilePresent("N:\\Locked.dat"));
    dialogs.answers = {true};
    convertWith(w, [&](QWidget* window) {
        selectKey(window, kNewKey);
        window->findChild<QPushButton*>("Command1")->click();
        EXPECT_FALSE(window->isVisible());
    });
    EXPECT_EQ(dialogs.messages.back(), " 2 files were converted.");
    EXPECT_EQ(plainUnder(kNewKey, a), plains[a]);
    EXPECT_EQ(plainUnder(kNewKey, b), plains[b]);
    EXPECT_EQ(readBytes(share / "key.dat"), kNewKey + "\r\n");
}

TEST_F(ConvertWindowTest, NoToTheConfirmationChangesNothing) {
    const std::string a = addDocument(share / "a.doc", randomBytes(1700, 9));
    shared::writeLines("N:\\Files.dat", {a});
    const std::string encrypted = readBytes(share / "a.doc");
    MainWindow w;
    library.calls.clear();
    dialogs.answers = {false};
    convertWith(w, [&](QWidget* window) {
        selectKey(window, kNewKey);
        window->findChild<QPushButton*>("Command1")->click();
        EXPECT_TRUE(window->isVisible());
    });
    EXPECT_EQ(dialogs.questions, QStringList{"Convert Confirm: 1 file in Current Files will be converted to the new key."
                                             "  Are you sure you want to do this?"});
    EXPECT_EQ(readBytes(share / "a.doc"), encrypted);
    EXPECT_EQ(readBytes(share / "key.dat"), kOldKey + "\r\n");
    EXPECT_TRUE(library.callsOf("VrkBinaryFileDec").empty());
    EXPECT_FALSE(fs::exists(work() / kJournalFile));
    EXPECT_FALSE(fs::exists(share / "Locked.dat"));
}

TEST_F(ConvertWindowTest, AConversionCutShortIsFinishedWhenTheConsoleStarts) {
    const std::string a = addDocument(share / "a.doc", randomBytes(2000, 5));
    const std::string b = addDocument(share / "b.doc", randomBytes(3000, 6));
    shared::writeLines("N:\\Files.dat", {a, b});
    ASSERT_TRUE(beginConversion("N:\\", kOldKey, kNewKey, true).journal);  // locked and journalled, then the console died

    MainWindow w;
    EXPECT_EQ(dialogs.messages, QStringList{"A conversion to a new key was interrupted.  It has now been finished.  "
                                            "2 files were converted."});
    EXPECT_EQ(w.findChild<QLineEdit*>("Text2")->text().toStdString(), kNewKey);
    EXPECT_EQ(library.callsOf("VrkGenBinaryKeys").back(), kNewKey);
    EXPECT_EQ(plainUnder(kNewKey, a), plains[a]);
    EXPECT_EQ(plainUnder(kNewKey, b), plains[b]);
    EXPECT_TRUE(!fs::exists(share / "Locked.dat") || fs::file_size(share / "Locked.dat") == 0);
}

}  // namespace
}  // namespace varkel::admin::test
