// A console working folder with drive N: mapped onto a scratch share, and seams that record
// the console's messages, questions, printing and library calls.
#pragma once

#include "Console.h"
#include "Dialogs.h"
#include "Library.h"
#include "Pickers.h"
#include "TestSupport.h"

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <deque>
#include <functional>
#include <stdexcept>

namespace varkel::admin::test {

using varkel::test::readBytes;
using varkel::test::writeBytes;

struct FatalError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The list entry an item stands for (the Locked Files list shows each lock's holder beside it).
inline QString entryOf(const QListWidgetItem* item) {
    const QVariant entry = item->data(Qt::UserRole);
    return entry.isValid() ? entry.toString() : item->text();
}

class RecordingDialogs : public shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override { messages.push_back(text); }
    bool askYesNo(QWidget*, const QString& text, const QString& title) override {
        questions.push_back(title + ": " + text);
        if (answers.empty()) throw std::logic_error("unexpected question: " + text.toStdString());
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    bool askNoByDefault(QWidget* parent, const QString& text, const QString& title) override {
        return askYesNo(parent, text, title);
    }
    [[noreturn]] void fatal(QWidget*, const QString& text) override { throw FatalError(text.toStdString()); }
    void print(QWidget*, const QStringList& lines, int pointSize) override { printed.push_back({lines, pointSize}); }

    QStringList messages;
    QStringList questions;
    std::deque<bool> answers;
    std::vector<std::pair<QStringList, int>> printed;
};

// Passes every call on to the real library and notes it.
class RecordingLibrary : public Library {
public:
    int32_t VrkGenBinaryKeys(std::string& keystr) override { return note("VrkGenBinaryKeys", keystr, &Library::VrkGenBinaryKeys); }
    int32_t VrkBinaryFileEnc(std::string& cmd) override { return note("VrkBinaryFileEnc", cmd, &Library::VrkBinaryFileEnc); }
    int32_t VrkBinaryFileDec(std::string& cmd) override { return note("VrkBinaryFileDec", cmd, &Library::VrkBinaryFileDec); }
    int32_t VrkKillFile(std::string& cmd) override { return note("VrkKillFile", cmd, &Library::VrkKillFile); }
    int32_t VrkShutDown(std::string& cmd) override { return note("VrkShutDown", cmd, &Library::VrkShutDown); }

    std::vector<std::string> callsOf(const std::string& op) const {
        std::vector<std::string> args;
        for (const auto& [name, arg] : calls)
            if (name == op) args.push_back(arg);
        return args;
    }
    std::vector<std::pair<std::string, std::string>> calls;
    std::function<void(const std::string&)> onCall;  // runs before each call
    // A call for which this says so fails with "Disk full".
    std::function<bool(const std::string& op, const std::string& arg)> fails;

private:
    int32_t note(const char* op, std::string& arg, int32_t (Library::*real)(std::string&)) {
        calls.emplace_back(op, arg);
        if (onCall) onCall(op);
        if (fails && fails(op, arg)) return 61;
        Library plain;
        return (plain.*real)(arg);
    }
};

class ConsoleFixture : public varkel::test::ScratchFolder {
protected:
    void SetUp() override {
        ScratchFolder::SetUp();
        share = mapNetworkDrive();
        resetConsoleVariables();
        shared::Dialogs::install(&dialogs);
        Library::install(&library);
    }
    void TearDown() override {
        std::string none;
        Library().VrkShutDown(none);  // whatever a test left set up
        Library::install(nullptr);
        shared::Dialogs::install(nullptr);
        ScratchFolder::TearDown();
    }
    // A network folder N:\ with the given list files (bytes as written).
    void networkFolder(const std::string& keyDat = "", const std::string& filesDat = "",
                       const std::string& lockedDat = "") {
        writeBytes(work() / "network.dat", "N:\\\r\n");
        if (!keyDat.empty()) writeBytes(share / "key.dat", keyDat);
        if (!filesDat.empty()) writeBytes(share / "Files.dat", filesDat);
        if (!lockedDat.empty()) writeBytes(share / "Locked.dat", lockedDat);
    }
    // Runs `drive` on the modal window that the next command opens, once it is the active
    // modal window (under load it may not be yet when the event loop first runs).
    static void whenModal(std::function<void(QWidget*)> drive, int attempts = 500) {
        QTimer::singleShot(attempts == 500 ? 0 : 10, [drive = std::move(drive), attempts]() mutable {
            QWidget* modal = QApplication::activeModalWidget();
            if (modal == nullptr) {
                if (attempts > 0) {
                    whenModal(std::move(drive), attempts - 1);
                } else {
                    ADD_FAILURE() << "no modal window";
                }
                return;
            }
            drive(modal);
            if (modal->isVisible()) {
                ADD_FAILURE() << "modal window left open";
                modal->close();
            }
        });
    }

    // Clicks `button` of `w` and, in the folder picker it opens, chooses drive N: and the
    // folders of `path` in turn, then "Set" (or "Cancel").
    void pickFolder(QWidget& w, const char* button, std::vector<const char*> path, bool set = true) {
        whenModal([=](QWidget* window) {
            EXPECT_EQ(window->objectName(), "frmPath");
            Picker picker{window};
            picker.drive("N:");
            for (const char* folder : path) picker.open(folder);
            picker.press(set ? "Command1" : "Command2");
        });
        w.findChild<QPushButton*>(button)->click();
    }

    std::filesystem::path share;
    RecordingDialogs dialogs;
    RecordingLibrary library;
};

}  // namespace varkel::admin::test
