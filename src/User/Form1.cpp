#include "Form1.h"

#include "Dialogs.h"
#include "File.h"
#include "MountCaches.h"
#include "ProcessWatch.h"
#include "Recovery.h"
#include "TerminationSignal.h"
#include "VbError.h"
#include "WinPath.h"
#include "frmAbout.h"
#include "frmFinished.h"
#include "frmHelp.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTimer>
#include <QVBoxLayout>

namespace varkel::user {
using shared::Dialogs;
using shared::fromSystem;
using shared::toSystem;

namespace {

constexpr int kFolderRole = Qt::UserRole;

void startUpFailed(QWidget* parent, const std::exception& e) {
    const auto* vb = dynamic_cast<const platform::VbError*>(&e);
    Dialogs::current().fatal(parent, vb != nullptr ? shared::runTimeErrorText(vb->number(), vb->detail())
                                                   : QString::fromUtf8(e.what()));
}

}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    // Whatever a started application leaves running in the background stays ours to watch.
    platform::adoptOrphans();
    buildWindow();
    Form_Load();
    warnAboutCachingMount();
}

Form1::~Form1() = default;

// Once, at start-up: a mount that caches can let two desktops open one document at once.
void Form1::warnAboutCachingMount() {
    if (NetworkPath.empty()) return;
    const std::string warning = platform::networkFolderCacheWarning(NetworkPath);
    if (!warning.empty()) message(warning);
}

void Form1::buildWindow() {
    setObjectName("Form1");
    setWindowTitle("Varkel Encryption Windows Interface");
    auto* central = new QWidget(this);
    setCentralWidget(central);

    Frame2 = new QGroupBox("Interface with", central);
    Frame2->setObjectName("Frame2");
    auto* buttons = new QGridLayout(Frame2);
    for (int n = 1; n <= kSlotCount; ++n) {
        Command[n] = new QPushButton(Frame2);
        Command[n]->setObjectName(QString("Command%1").arg(n));
        buttons->addWidget(Command[n], (n - 1) / 2, (n - 1) % 2);
        connect(Command[n], &QPushButton::clicked, this, [this, n] { Interface(n); });
    }
    Command[15] = new QPushButton("Clear", central);
    Command[15]->setObjectName("Command15");
    Command[15]->setAccessibleName("Clear");
    connect(Command[15], &QPushButton::clicked, this, &Form1::Command15_Click);

    List1 = new QListWidget(central);
    List1->setObjectName("List1");
    List1->setAccessibleName("Status");
    List1->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    List1->setMinimumWidth(260);
    List1->setFixedHeight(List1->fontMetrics().height() * 6 + 2 * List1->frameWidth());

    Frame1 = new QGroupBox("File to Process", central);
    Frame1->setObjectName("Frame1");
    Drive1 = new QComboBox(Frame1);
    Drive1->setObjectName("Drive1");
    Drive1->setAccessibleName("Drive");
    Dir1 = new QListWidget(Frame1);
    Dir1->setObjectName("Dir1");
    Dir1->setAccessibleName("Folders");
    File1 = new QListWidget(Frame1);
    File1->setObjectName("File1");
    File1->setAccessibleName("Files");
    Label1 = new QLabel(Frame1);
    Label1->setObjectName("Label1");
    Label1->setAccessibleName("Document path");
    Label1->setFrameShape(QFrame::Panel);
    Label1->setFrameShadow(QFrame::Sunken);

    Frame3 = new QGroupBox("New Document", Frame1);
    Frame3->setObjectName("Frame3");
    Label2 = new QLabel("Document Name", Frame3);
    Label2->setObjectName("Label2");
    Text1 = new QLineEdit(Frame3);
    Text1->setObjectName("Text1");
    Text1->setAccessibleName("Document Name");
    Label2->setBuddy(Text1);
    chkNew = new QCheckBox(Frame3);
    chkNew->setObjectName("chkNew");
    chkNew->setAccessibleName("New document");
    auto* newLayout = new QHBoxLayout(Frame3);
    newLayout->addWidget(Label2);
    newLayout->addWidget(Text1, 1);
    newLayout->addWidget(chkNew);

    auto* pick = new QGridLayout(Frame1);
    pick->addWidget(Drive1, 0, 0);
    pick->addWidget(Dir1, 1, 0);
    pick->addWidget(File1, 0, 1, 2, 1);
    pick->addWidget(Label1, 2, 0, 1, 2);
    pick->addWidget(Frame3, 3, 0, 1, 2);

    auto* status = new QVBoxLayout;
    status->addWidget(List1);
    status->addWidget(Command[15], 0, Qt::AlignRight);
    status->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(Frame2);
    top->addLayout(status, 1);
    auto* whole = new QVBoxLayout(central);
    whole->addLayout(top);
    whole->addWidget(Frame1, 1);

    connect(Drive1, &QComboBox::currentIndexChanged, this, [this] { Drive1_Change(); });
    connect(Dir1, &QListWidget::itemClicked, this, &Form1::Dir1_Click);
    connect(File1, &QListWidget::itemClicked, this, &Form1::File1_Click);
    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });

    QMenu* fle = menuBar()->addMenu("&File");
    fle->setObjectName("fle");
    QAction* fleext = fle->addAction("E&xit");
    fleext->setObjectName("fleext");
    connect(fleext, &QAction::triggered, this, &Form1::fleext_Click);
    QMenu* hlp = menuBar()->addMenu("&Help");
    hlp->setObjectName("hlp");
    QAction* hlpabt = hlp->addAction("&About");
    hlpabt->setObjectName("hlpabt");
    connect(hlpabt, &QAction::triggered, this, &Form1::hlpabt_Click);
    hlp->addSeparator()->setObjectName("hlpdiv");
    QAction* hlpus = hlp->addAction("&Using Varkel Interface");
    hlpus->setObjectName("hlpus");
    connect(hlpus, &QAction::triggered, this, &Form1::hlpus_Click);

    const QSignalBlocker quiet(Drive1);
    for (const std::string& drive : shared::FolderBrowser::drives()) Drive1->addItem(fromSystem(drive));
}

void Form1::Form_Load() {
    Label1->setText("Select FileName...");
    Label1->repaint();
    {
        const QSignalBlocker quiet(Drive1);
        Drive1->setCurrentIndex(Drive1->findText("C:"));
        driveShown_ = Drive1->currentText();
    }
    setDirPath("C:\\");
    List1->clear();
    Text1->clear();
    Text1_Change();
    chkNew->setChecked(false);
    chkNew->hide();

    const std::optional<std::string> network = readNetworkPath();
    if (!network) {
        message("The Application cannot execute.  Please consult with the System Administrator about this problem.");
        endAtActivation = true;
        return;
    }
    NetworkPath = *network;
    for (int n = 1; n <= kSlotCount; ++n) Command[n]->hide();
    try {
        apps = readApplications(NetworkPath);
        OsFamily = user::osFamily();
        keys.setUp(readCurrentKey(NetworkPath));
        // A cycle that a crash cut short is finished before any button can start another.
        if (const auto recovered = recoverInterruptedCycle(NetworkPath)) message(*recovered);
        for (int n = 1; n <= kSlotCount; ++n) {
            if (!apps[n]) continue;
            Command[n]->setText(fromSystem(apps[n]->name));
            Command[n]->setAccessibleName(fromSystem(apps[n]->name));
            Command[n]->show();
        }
    } catch (const std::exception& e) {
        startUpFailed(this, e);
    }
}

void Form1::endOnTerminationSignals() {
    const int fd = platform::terminationSignalDescriptor();
    if (fd < 0) return;
    termination_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(termination_.get(), &QSocketNotifier::activated, this, [this] {
        termination_->setEnabled(false);
        requestEnd();
    });
}

void Form1::requestEnd() {
    endRequested_ = true;
    if (!cycleRunning_) endNow();
}

void Form1::endNow() {
    close();
    QCoreApplication::quit();
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    QTimer::singleShot(0, this, &Form1::Form_Activate);
}

void Form1::Form_Activate() {
    if (endAtActivation) close();
}

void Form1::closeEvent(QCloseEvent* event) {
    if (cycleRunning_) {  // the cycle comes to its end first, then the window closes
        endRequested_ = true;
        event->ignore();
        return;
    }
    if (!endAtActivation) shutDownLibrary();
    event->accept();
}

void Form1::shutDownLibrary() {
    if (libraryShutDown) return;
    libraryShutDown = true;
    try {
        SdkObject sdk;
        std::string SdkArg;
        callLibrary(*sdk, &_SDK::VrkShutDown, "VrkShutDown", SdkArg);
    } catch (const std::exception& e) {
        message(std::string("The key files in the working folder could not all be removed (") + e.what() + ").");
    }
}

void Form1::fleext_Click() {
    shutDownLibrary();
    close();
}

void Form1::Command15_Click() { List1->clear(); }

void Form1::hlpabt_Click() {
    frmAbout about(this);
    about.exec();
}

void Form1::hlpus_Click() {
    frmHelp help(this);
    if (help.Form_Load()) help.exec();
}

void Form1::Interface(int Num) {
    if (Num < 1 || Num > kSlotCount || !apps[Num]) return;
    CycleRequest request;
    request.networkPath = NetworkPath;
    request.document = toSystem(Label1->text());
    request.newDocument = chkNew->isChecked();
    request.newName = toSystem(Text1->text());
    request.location = apps[Num]->location;
    request.times = waitTimes_;
    if (cycleRunning_) return;
    cycleRunning_ = true;
    const CycleEnd end = runCycle(request, keys, *this);
    cycleRunning_ = false;
    if (endRequested_) {
        endNow();
        return;
    }
    if (end != CycleEnd::Done) return;
    chkNew->setChecked(false);
    const QSignalBlocker quiet(Text1);
    Text1->clear();
}

void Form1::AddToList(const std::string& text) {
    List1->addItem(fromSystem(text));
    const int count = List1->count();
    if (count > 5) List1->scrollToItem(List1->item(count - 5), QAbstractItemView::PositionAtTop);
}

bool Form1::Inst(int32_t pid) { return user::Inst(OsFamily, pid); }

platform::ProcessHandle Form1::ProcFromProcID(int32_t idProc) { return user::ProcFromProcID(idProc); }

void Form1::message(const std::string& text) { Dialogs::current().message(this, fromSystem(text)); }

bool Form1::ask(const std::string& question) {
    return Dialogs::current().askNoByDefault(this, fromSystem(question), windowTitle());
}

void Form1::keepPainting() {
    // Only the Finished Editing window takes input; it is modal, so this window gets none.
    const bool asking = finished_ && finished_->isVisible();
    QCoreApplication::processEvents(asking ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
}

void Form1::waiting(bool on) {
    for (int n = 1; n <= kSlotCount; ++n) Command[n]->setEnabled(!on);
    menuBar()->setEnabled(!on);
    repaint();
}

void Form1::showFinishedEditing(const std::string& text) {
    if (!finished_) finished_ = std::make_unique<frmFinished>(this);
    finished_->setText(fromSystem(text));
    finished_->show();
    finished_->raise();
    finished_->activateWindow();
}

bool Form1::finishedEditingPressed() { return finished_ && finished_->takePressed(); }

void Form1::closeFinishedEditing() {
    if (finished_) finished_->hide();
}

// The folder list shows the folder, the folders above it and its sub-folders, each indented by
// its depth; a click on any of them moves there.
void Form1::setDirPath(const std::string& folder) {
    if (!browser_.setFolder(folder)) return;  // a folder that cannot be read leaves the lists as they were
    if (const int shown = Drive1->findText(fromSystem(browser_.drive()), Qt::MatchFixedString); shown >= 0) {
        const QSignalBlocker quiet(Drive1);
        Drive1->setCurrentIndex(shown);
    }
    driveShown_ = Drive1->currentText();
    Dir1->clear();
    auto add = [this](const std::string& text, const std::string& full, size_t depth) {
        auto* item = new QListWidgetItem(QString(static_cast<int>(depth) * 2, ' ') + fromSystem(text), Dir1);
        item->setData(kFolderRole, fromSystem(full));
        return item;
    };
    const std::vector<shared::FolderBrowser::Level> levels = browser_.levels();
    QListWidgetItem* current = nullptr;
    for (size_t depth = 0; depth < levels.size(); ++depth) current = add(levels[depth].name, levels[depth].path, depth);
    Dir1->setCurrentItem(current);
    for (const auto& sub : browser_.subfolders()) add(sub, browser_.filePath(sub), levels.size());
    dirPath_ = browser_.folder();
    Dir1_Change();
}

void Form1::Drive1_Change() {
    const std::string drive = toSystem(Drive1->currentText());
    if (shared::FolderBrowser probe; probe.setDrive(drive)) {
        setDirPath(drive + "\\");
        return;
    }
    // A drive that is not ready, or a lost network drive, is ignored.
    const QSignalBlocker quiet(Drive1);
    Drive1->setCurrentIndex(Drive1->findText(driveShown_));
}

void Form1::Dir1_Change() {
    File1->clear();
    for (const auto& name : browser_.files()) File1->addItem(fromSystem(name));
}

void Form1::Dir1_Click(QListWidgetItem* item) {
    if (item == nullptr) return;
    setDirPath(toSystem(item->data(kFolderRole).toString()));
}

void Form1::File1_Click(QListWidgetItem* item) {
    if (item == nullptr) return;
    Label1->setText(fromSystem(documentPath(dirPath_, toSystem(item->text()))));
    chkNew->setChecked(false);
    const QSignalBlocker quiet(Text1);
    Text1->clear();
}

void Form1::Text1_Change() {
    Label1->setText(fromSystem(documentPath(dirPath_, toSystem(Text1->text()))));
    chkNew->setChecked(true);
}

}  // namespace varkel::user
