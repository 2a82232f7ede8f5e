// A launcher installation in a scratch folder: network folder N: with key, application list and
// encrypted documents; an application script that edits the file it is given; and dialogs that
// record what the launcher says.
#pragma once

#include "Dialogs.h"
#include "File.h"
#include "Form1.h"
#include "Library.h"
#include "SystemFiles.h"
#include "TestSupport.h"
#include "VarkelSDK.h"
#include "WinPath.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

namespace varkel::user::test {

using varkel::test::readBytes;
using varkel::test::writeBytes;
namespace fs = std::filesystem;

class RecordingDialogs : public shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override { messages.push_back(text.toStdString()); }
    bool askNoByDefault(QWidget*, const QString& text, const QString&) override {
        questions.push_back(text.toStdString());
        return answer;
    }
    [[noreturn]] void fatal(QWidget*, const QString& text) override { throw std::runtime_error(text.toStdString()); }
    std::vector<std::string> messages;
    std::vector<std::string> questions;
    bool answer = false;
};

inline const std::string kKey = "123456789";
inline const std::string kMark = "PLAINTEXT-MARK-4711";

class Launcher : public varkel::test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share_ = mapNetworkDrive("Docs");
        writeBytes(work() / "network.dat", "N:\\\r\n");
        writeBytes(share_ / "key.dat", kKey + "\r\n");
        editor_ = root() / "my apps" / "edit.sh";
        writeEditor("");
        writeBytes(share_ / "apps.dat", "Edit:" + platform::windowsPath(editor_) + "\r\n");
        shared::Dialogs::install(&dialogs_);
        setLibraryObserver([this](std::string_view name, const std::string&) { calls_.emplace_back(name); });
    }
    void TearDown() override {
        setLibraryObserver(nullptr);
        shared::Dialogs::install(nullptr);
        ScratchFolder::TearDown();
    }

    // The application: checks it got one argument, runs `extra`, appends " edited" to the file.
    void writeEditor(const std::string& extra) {
        fs::create_directories(editor_.parent_path());
        writeBytes(editor_, "#!/bin/sh\n[ \"$#\" -eq 1 ] || exit 3\n" + extra + "\nprintf ' edited' >> \"$1\"\n");
        ::chmod(editor_.c_str(), 0755);
    }

    // The library's scratch files of the checks below go to a folder of their own, so that the
    // working folder shows only what the launcher leaves there.
    class OutsideTheWorkingFolder {
    public:
        explicit OutsideTheWorkingFolder(const fs::path& folder) : previous_(fs::current_path()) {
            fs::create_directories(folder);
            fs::current_path(folder);
        }
        ~OutsideTheWorkingFolder() { fs::current_path(previous_); }
        OutsideTheWorkingFolder(const OutsideTheWorkingFolder&) = delete;
        OutsideTheWorkingFolder& operator=(const OutsideTheWorkingFolder&) = delete;

    private:
        fs::path previous_;
    };

    // Encrypts `plain` into the file at host path `file` under `key` and, inside the network
    // folder, registers it, as the console would.
    void encrypt(const fs::path& file, const std::string& plain, const std::string& key = kKey) {
        encryptOnly(file, plain, key);
        const std::string document = platform::windowsPath(file);
        const std::string files = platform::windowsPath(share_ / "Files.dat");
        if (document.rfind("N:\\", 0) == 0 &&
            !(platform::fileExists(files) && shared::containsLine(files, document, shared::Case::Exact)))
            shared::appendLine(files, document);
    }
    void encryptOnly(const fs::path& file, const std::string& plain, const std::string& key = kKey) {
        fs::create_directories(file.parent_path());
        writeBytes(file, plain);
        const OutsideTheWorkingFolder elsewhere(root() / "checks");
        SdkObject sdk;
        std::string arg = key;
        ASSERT_EQ(sdk->VrkGenBinaryKeys(arg), 0);
        arg = quotedName(platform::windowsPath(file));
        ASSERT_EQ(sdk->VrkBinaryFileEnc(arg), 0);
    }
    // The plaintext of the encrypted file at `file`, decrypted outside the working folder.
    std::string decrypt(const fs::path& file, const std::string& key = kKey) {
        const fs::path out = root() / "check.out";
        fs::remove(out);
        const OutsideTheWorkingFolder elsewhere(root() / "checks");
        SdkObject sdk;
        std::string arg = key;
        EXPECT_EQ(sdk->VrkGenBinaryKeys(arg), 0);
        arg = quotedName(platform::windowsPath(file)) + " " + platform::windowsPath(out);
        EXPECT_EQ(sdk->VrkBinaryFileDec(arg), 0);
        return readBytes(out);
    }

    // Short waits: the fake applications act within a few seconds.
    static WaitTimes testTimes() {
        using std::chrono::milliseconds;
        return WaitTimes{.poll = milliseconds(20), .settle = milliseconds(300), .handOff = milliseconds(4000)};
    }

    std::unique_ptr<Form1> start() {
        auto form = std::make_unique<Form1>();
        form->setWaitTimes(testTimes());
        form->show();
        return form;
    }
    template <typename T>
    static T* child(Form1& form, const char* name) {
        T* found = form.findChild<T*>(name);
        if (found == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return found;
    }
    static void clickItem(QListWidget* list, const QString& text) {
        for (int i = 0; i < list->count(); ++i) {
            if (list->item(i)->text().trimmed() != text) continue;
            list->scrollToItem(list->item(i));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(i)).center());
            return;
        }
        throw std::runtime_error("no list entry " + text.toStdString());
    }
    // Picks drive N:, walks down the folders and clicks the file, as a user would.
    void pick(Form1& form, const std::vector<QString>& folders, const QString& file) {
        auto* drive = child<QComboBox>(form, "Drive1");
        drive->setCurrentIndex(drive->findText("N:"));
        for (const auto& folder : folders) clickItem(child<QListWidget>(form, "Dir1"), folder);
        clickItem(child<QListWidget>(form, "File1"), file);
    }
    static std::vector<std::string> status(Form1& form) {
        std::vector<std::string> lines;
        auto* list = child<QListWidget>(form, "List1");
        for (int i = 0; i < list->count(); ++i) lines.push_back(list->item(i)->text().toStdString());
        return lines;
    }
    static std::vector<std::string> cycleLines(const std::string& bare, bool existing) {
        std::vector<std::string> lines = {"Locking " + bare, "...Lock successful"};
        if (existing) lines.push_back("Decrypting " + bare);
        lines.insert(lines.end(), {"Launching application", "...Waiting for termination...", "Encrypting " + bare,
                                   "Unlocking " + bare});
        return lines;
    }
    // Files of the working folder that hold the plaintext mark.
    std::vector<std::string> plaintextInWorkingFolder() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(work()))
            if (readBytes(entry.path()).find(kMark) != std::string::npos) found.push_back(entry.path().filename());
        return found;
    }
    int callsOf(const std::string& name) const { return static_cast<int>(std::count(calls_.begin(), calls_.end(), name)); }

    fs::path share_;
    fs::path editor_;
    RecordingDialogs dialogs_;
    std::vector<std::string> calls_;
};

}  // namespace varkel::user::test
