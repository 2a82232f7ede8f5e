// The launcher's main window: application buttons, the status list and document selection.
#pragma once

#include "DocumentCycle.h"
#include "FolderBrowser.h"
#include "Launcher.h"
#include "Library.h"
#include "Process.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSocketNotifier;

namespace varkel::user {

class frmFinished;

class Form1 : public QMainWindow, private CycleHost {
    Q_OBJECT
public:
    // Runs the start-up (Form_Load).
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // SIGTERM, SIGHUP and SIGINT close the launcher in order: at once when it is at rest,
    // else once the cycle in progress has come to its end.
    void endOnTerminationSignals();
    // Asks the launcher to end, as those signals do.
    void requestEnd();
    // How the wait for an application judges that editing has ended.
    void setWaitTimes(const WaitTimes& times) { waitTimes_ = times; }

    // Handlers, public so that the window's wiring and its tests reach the same code.
    void Interface(int Num);
    void AddToList(const std::string& text) override;
    bool Inst(int32_t pid) override;
    platform::ProcessHandle ProcFromProcID(int32_t idProc);

    const std::string& networkPath() const { return NetworkPath; }
    const std::string& osFamily() const { return OsFamily; }
    // The folder the folder list shows.
    const std::string& dirPath() const { return dirPath_; }
    void setDirPath(const std::string& folder);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void Form_Load();
    void warnAboutCachingMount();
    void Form_Activate();
    void Command15_Click();
    void fleext_Click();
    void hlpabt_Click();
    void hlpus_Click();
    void Drive1_Change();
    void Dir1_Change();
    void Dir1_Click(QListWidgetItem* item);
    void File1_Click(QListWidgetItem* item);
    void Text1_Change();
    void shutDownLibrary();

    void message(const std::string& text) override;
    bool ask(const std::string& question) override;
    void keepPainting() override;
    void waiting(bool on) override;
    void showFinishedEditing(const std::string& text) override;
    bool finishedEditingPressed() override;
    void closeFinishedEditing() override;
    bool endRequested() override { return endRequested_; }
    void endNow();

    QGroupBox* Frame1 = nullptr;
    QGroupBox* Frame2 = nullptr;
    QGroupBox* Frame3 = nullptr;
    std::array<QPushButton*, kSlotCount + 2> Command{};  // Command[1] .. Command[15]
    QListWidget* List1 = nullptr;
    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QCheckBox* chkNew = nullptr;

    std::string NetworkPath;
    Applications apps;
    std::string OsFamily;
    bool endAtActivation = false;
    bool libraryShutDown = false;
    KeySetup keys;
    shared::FolderBrowser browser_;
    std::string dirPath_ = "C:\\";
    QString driveShown_;
    WaitTimes waitTimes_;
    bool cycleRunning_ = false;
    bool endRequested_ = false;
    std::unique_ptr<frmFinished> finished_;
    std::unique_ptr<QSocketNotifier> termination_;
};

}  // namespace varkel::user
