#include "MainWindow.h"

#include "BusyPointer.h"
#include "Console.h"
#include "ConsoleLists.h"
#include "Conversion.h"
#include "ConvertWindow.h"
#include "DefineWindow.h"
#include "Dialogs.h"
#include "FolderEncryption.h"
#include "GenerateWindow.h"
#include "Guarded.h"
#include "HelpTopics.h"
#include "HelpWindow.h"
#include "KeyGeneration.h"
#include "Library.h"
#include "MountCaches.h"
#include "PathWindow.h"
#include "SelectWindow.h"
#include "SystemFiles.h"
#include "SystemTransfer.h"
#include "WinPath.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace varkel::admin {
using shared::Dialogs;
using shared::fromSystem;
using shared::toSystem;

namespace {

constexpr int kRefreshInterval = 10000;

const char* const kNoNetworkMessage =
    "The Network Path must be defined before any other utilities can be performed.  Please define it at once.";
const char* const kNoKeyMessage =
    "No Key has been defined as yet.  Your users cannot use this system until keys have been generated and "
    "selected for use, or if this is the result of a transfer, the files are restored.";
const char* const kNothingToDelete =
    "No Files are selected.  Please select the files you wish to delete and try again.";
const char* const kNothingToUnlock =
    "No Files are selected.  Please select the files you wish to unlock and try again.";
const char* const kKeyNotDigits =
    "A key is a string of digits.  Please select a key from the list or type one, and try again.";
const char* const kNoKeyToEncrypt =
    "No Key has been defined as yet, so there is no key to encrypt under.  Set the current key first.";

// The list entry an item stands for: the Locked Files list shows more than the entry.
constexpr int kEntryRole = Qt::UserRole;
QString entryOf(const QListWidgetItem* item) {
    const QVariant entry = item->data(kEntryRole);
    return entry.isValid() ? entry.toString() : item->text();
}

std::vector<std::string> listEntries(const QListWidget* list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list->count(); ++i) entries.push_back(toSystem(entryOf(list->item(i))));
    return entries;
}

std::vector<std::string> selectedEntries(const QListWidget* list) {
    std::vector<std::string> entries;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected()) entries.push_back(toSystem(entryOf(list->item(i))));
    return entries;
}

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
    setObjectName("frmMain");
    setWindowTitle("Varkel Encryption Windows Interface Network Administration");
    buildWindow();
    buildMenus();
    Form_Load();
    warnAboutCachingMount();
    timer1_->start();
    timer2_->start();
}

QPushButton* MainWindow::button(const char* name, const char* caption, QWidget* frame) {
    auto* b = new QPushButton(caption, frame);
    b->setObjectName(name);
    b->setAccessibleName(QString(caption).remove('&'));
    return b;
}

void MainWindow::buildWindow() {
    auto* central = new QWidget(this);
    setCentralWidget(central);
    auto* grid = new QGridLayout(central);

    auto frame = [&](const char* name, const char* caption) {
        auto* f = new QGroupBox(caption, central);
        f->setObjectName(name);
        return f;
    };
    auto list = [&](const char* name, const char* accessible, QWidget* parentFrame, bool multiple) {
        auto* l = new QListWidget(parentFrame);
        l->setObjectName(name);
        l->setAccessibleName(accessible);
        l->setSelectionMode(multiple ? QAbstractItemView::ExtendedSelection : QAbstractItemView::SingleSelection);
        return l;
    };

    // Locked Files
    auto* frame1 = frame("Frame1", "Locked Files");
    list1_ = list("List1", "Locked Files", frame1, true);
    auto* command1 = button("Command1", "Add...", frame1);
    auto* command2 = button("Command2", "Delete", frame1);
    auto* command13 = button("Command13", "Lock All", frame1);
    auto* command14 = button("Command14", "Unlock All", frame1);
    timer1_ = new QTimer(frame1);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(kRefreshInterval);
    {
        auto* layout = new QVBoxLayout(frame1);
        layout->addWidget(list1_);
        auto* row = new QHBoxLayout;
        for (auto* b : {command1, command2, command13, command14}) row->addWidget(b);
        layout->addLayout(row);
    }

    // Network Path
    auto* frame2 = frame("Frame2", "Network Path");
    text1_ = new QLineEdit(frame2);
    text1_->setObjectName("Text1");
    text1_->setAccessibleName("Network Path");
    text1_->setReadOnly(true);
    auto* command3 = button("Command3", "Select...", frame2);
    {
        auto* layout = new QHBoxLayout(frame2);
        layout->addWidget(text1_);
        layout->addWidget(command3);
    }

    // Current Files
    frame3_ = frame("Frame3", "Current Files");
    list2_ = list("List2", "Current Files", frame3_, true);
    auto* command4 = button("Command4", "Delete", frame3_);
    timer2_ = new QTimer(frame3_);
    timer2_->setObjectName("Timer2");
    timer2_->setInterval(kRefreshInterval);
    {
        auto* layout = new QVBoxLayout(frame3_);
        layout->addWidget(list2_);
        auto* row = new QHBoxLayout;
        row->addStretch();
        row->addWidget(command4);
        layout->addLayout(row);
    }

    // Key Management
    auto* frame4 = frame("Frame4", "Key Management");
    auto* label1 = new QLabel("Current Key", frame4);
    label1->setObjectName("Label1");
    text2_ = new QLineEdit(frame4);
    text2_->setObjectName("Text2");
    text2_->setAccessibleName("Current Key");
    label1->setBuddy(text2_);
    list3_ = list("List3", "Key Management", frame4, false);
    label2_ = new QLabel(frame4);
    label2_->setObjectName("Label2");
    label2_->setAccessibleName("Progress");
    label2_->hide();
    progress_ = new QProgressBar(frame4);
    progress_->setObjectName("ProgressBar1");
    progress_->setAccessibleName("Progress");
    progress_->setFormat("%v of %m");
    progress_->hide();
    auto* command5 = button("Command5", "Generate Keys...", frame4);
    auto* command6 = button("Command6", "Set Key", frame4);
    auto* command8 = button("Command8", "Convert Encrypted Files to New Key...", frame4);
    auto* command9 = button("Command9", "Encrypt New Folder...", frame4);
    {
        auto* layout = new QGridLayout(frame4);
        layout->addWidget(label1, 0, 0);
        layout->addWidget(text2_, 0, 1);
        layout->addWidget(command6, 0, 2);
        layout->addWidget(list3_, 1, 0, 4, 2);
        layout->addWidget(command5, 1, 2);
        layout->addWidget(command8, 2, 2);
        layout->addWidget(command9, 3, 2);
        layout->addWidget(label2_, 5, 0, 1, 3);
        layout->addWidget(progress_, 6, 0, 1, 3);
    }

    // Applications
    auto* frame5 = frame("Frame5", "Applications");
    auto* command11 = button("Command11", "Define Applications...", frame5);
    (new QHBoxLayout(frame5))->addWidget(command11);

    // Security
    auto* frame6 = frame("Frame6", "Security");
    auto* command12 = button("Command12", "Transfer Files", frame6);
    auto* command10 = button("Command10", "Restore Files", frame6);
    {
        auto* layout = new QHBoxLayout(frame6);
        layout->addWidget(command12);
        layout->addWidget(command10);
    }

    grid->addWidget(frame2, 0, 0, 1, 2);
    grid->addWidget(frame1, 1, 0);
    grid->addWidget(frame3_, 2, 0);
    grid->addWidget(frame4, 1, 1, 2, 1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(frame5);
    bottom->addWidget(frame6);
    grid->addLayout(bottom, 3, 0, 1, 2);
    resize(900, 640);

    work_ = {text2_, list1_, list2_, list3_, command1, command2, command4, command5, command6, command8, command9, command11};

    connect(timer1_, &QTimer::timeout, this, &MainWindow::Timer1_Timer);
    connect(timer2_, &QTimer::timeout, this, &MainWindow::Timer2_Timer);
    connect(list3_, &QListWidget::itemClicked, this, &MainWindow::List3_Click);
    connect(command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);
    connect(command4, &QPushButton::clicked, this, &MainWindow::Command4_Click);
    connect(command5, &QPushButton::clicked, this, &MainWindow::Command5_Click);
    connect(command6, &QPushButton::clicked, this, &MainWindow::Command6_Click);
    connect(command8, &QPushButton::clicked, this, &MainWindow::Command8_Click);
    connect(command9, &QPushButton::clicked, this, &MainWindow::Command9_Click);
    connect(command11, &QPushButton::clicked, this, &MainWindow::Command11_Click);
    connect(command13, &QPushButton::clicked, this, &MainWindow::Command13_Click);
    connect(command14, &QPushButton::clicked, this, &MainWindow::Command14_Click);
    connect(command12, &QPushButton::clicked, this, &MainWindow::Command12_Click);
    connect(command10, &QPushButton::clicked, this, &MainWindow::Command10_Click);
}

void MainWindow::buildMenus() {
    auto action = [&](QMenu* menu, const char* name, const char* caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(name);
        return a;
    };
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("fle");
    connect(action(file, "fleext", "E&xit"), &QAction::triggered, this, &MainWindow::fleext_Click);

    QMenu* help = menuBar()->addMenu("&Help");
    help->setObjectName("hlp");
    connect(action(help, "hlpabt", "&About"), &QAction::triggered, this, &MainWindow::hlpabt_Click);
    help->addSeparator()->setObjectName("hlpdiv");
    for (const HelpTopic& topic : kHelpTopics) {
        const char* helpFile = topic.file;
        connect(action(help, topic.menuName, topic.caption), &QAction::triggered, this,
                [this, helpFile] { showHelp(helpFile); });
    }
}

bool MainWindow::FilePresent(const std::string& path) { return shared::FilePresent(path); }

void MainWindow::setWorkEnabled(bool enabled) {
    for (QWidget* w : work_) w->setEnabled(enabled);
}

int MainWindow::fillList(QListWidget* list, const std::string& file) {
    const auto entries = shared::presentEntries(file);
    for (const std::string& entry : entries) list->addItem(fromSystem(entry));
    return static_cast<int>(entries.size());
}

int MainWindow::refreshList(QListWidget* list, const std::string& file) {
    QStringList selected;
    for (const QListWidgetItem* item : list->selectedItems()) selected << entryOf(item);
    list->clear();
    const int count = list == list1_ ? fillLocks() : fillList(list, file);
    for (int i = 0; i < list->count(); ++i)
        if (selected.contains(entryOf(list->item(i)))) list->item(i)->setSelected(true);
    return count;
}

// Each lock with its holder and age; the item keeps the lock list's entry for the commands.
int MainWindow::fillLocks() {
    const std::vector<shared::LockView> locks = lockedFiles();
    for (const shared::LockView& lock : locks) {
        auto* item = new QListWidgetItem(fromSystem(lock.text), list1_);
        item->setData(kEntryRole, fromSystem(lock.document));
    }
    return static_cast<int>(locks.size());
}

// Asks before locks that a running launcher holds are removed; true to go ahead.
bool MainWindow::unlockConfirmed(const std::optional<std::vector<std::string>>& entries) {
    const std::optional<std::string> question = liveLocksQuestion(entries);
    return !question || Dialogs::current().askNoByDefault(this, fromSystem(*question), kUnlockConfirmTitle);
}

void MainWindow::setFilesCaption(int count) { frame3_->setTitle(QStringLiteral("Current Files (%1)").arg(count)); }

void MainWindow::Form_Load() {
    guarded(this, [&] {
        list1_->clear();
        list2_->clear();
        list3_->clear();
        text1_->clear();
        text2_->clear();
        if (!FilePresent(kNetworkFile)) {
            Dialogs::current().message(this, kNoNetworkMessage);
            setWorkEnabled(false);
            return;
        }
        const std::string path = shared::readFirstEntry(kNetworkFile);
        NetworkPath = path;
        text1_->setText(fromSystem(path));
        NetworkPath = shared::withTrailingBackslash(NetworkPath);
        setWorkEnabled(true);
        finishInterruptedCommands();
        if (FilePresent(networkFile(kKeyFile)))
            text2_->setText(fromSystem(shared::readFirstEntry(networkFile(kKeyFile))));
        else
            Dialogs::current().message(this, kNoKeyMessage);
        if (!text2_->text().isEmpty()) {
            SdkArg = toSystem(text2_->text());
            genBinaryKeys(SdkArg);
        }
        fillList(list3_, kKeyListFile);
        fillLocks();
        setFilesCaption(fillList(list2_, networkFile(kFilesFile)));
    });
}

// Once, at start-up: a mount that caches can let two desktops open one document at once.
void MainWindow::warnAboutCachingMount() {
    if (NetworkPath.empty()) return;
    const std::string warning = platform::networkFolderCacheWarning(NetworkPath);
    if (!warning.empty()) Dialogs::current().message(this, fromSystem(warning));
}

// A refresh keeps the selection of the entries that are still listed, so that a command
// chosen just after it still works on them.
void MainWindow::Timer1_Timer() {
    guarded(this, [&] { refreshList(list1_, networkFile(kLockedFile)); });
}

void MainWindow::Timer2_Timer() {
    guarded(this, [&] { setFilesCaption(refreshList(list2_, networkFile(kFilesFile))); });
}

void MainWindow::List3_Click() {
    for (int i = 0; i < list3_->count(); ++i) {
        if (list3_->item(i)->isSelected()) {
            text2_->setText(list3_->item(i)->text());
            return;
        }
    }
}

void MainWindow::Command3_Click() {
    PathCaption = "Select Folder for Network Path";
    PathWindow picker(this);
    picker.exec();
    Form_Load();
}

void MainWindow::Command5_Click() {
    GenerateWindow window(list3_, this);
    window.exec();
}

void MainWindow::Command11_Click() {
    DefineWindow window(this);
    window.exec();
}

void MainWindow::Command6_Click() {
    guarded(this, [&] {
        const std::string key = toSystem(text2_->text());
        if (!isKeyString(key)) {
            Dialogs::current().message(this, kKeyNotDigits);
            return;
        }
        // Documents already registered stay encrypted under the key that is current now.
        if (const size_t registered = documentsUnderOtherKey(key); registered > 0) {
            if (!Dialogs::current().askYesNo(this, fromSystem(keyChangeQuestion(registered)), "Set Key")) {
                text2_->setText(fromSystem(keyInForce()));  // the box shows the key still in force
                return;
            }
        }
        setKey(key);
        Dialogs::current().message(this, "Key has been set to " + fromSystem(key));
    });
}

void MainWindow::Command8_Click() {
    ConvertDone = false;
    working_ = true;  // closing waits until the conversion has ended
    {
        ConvertWindow window(this);
        window.exec();
    }
    working_ = false;
    if (ConvertDone) {
        guarded(this, [&] {
            text2_->setText(fromSystem(shared::readFirstEntry(networkFile(kKeyFile))));
            list2_->clear();
            setFilesCaption(fillList(list2_, networkFile(kFilesFile)));
        });
    }
    ConvertDone = false;
    if (closeRequested_) close();
}

// A command that was interrupted (the console killed, the machine down) is finished before
// anything reads the key or the lists: until then documents lie under both keys, or lie
// encrypted but unregistered.
void MainWindow::finishInterruptedCommands() {
    if (std::optional<EncryptionJournal> journal = findInterruptedEncryption()) {
        size_t encrypted = 0;
        {
            BusyPointer busy;
            encrypted = runEncryption(std::move(*journal));
        }
        Dialogs::current().message(this, "A folder encryption was interrupted.  It has now been finished: " +
                                             QString::number(encrypted) +
                                             (encrypted == 1 ? " file is" : " files are") +
                                             " encrypted and listed in Current Files.");
    }
    if (std::optional<ConversionJournal> journal = findInterruptedConversion()) {
        ConversionResult result;
        {
            BusyPointer busy;
            result = runConversion(std::move(*journal));
        }
        Dialogs::current().message(this, "A conversion to a new key was interrupted.  It has now been finished. " +
                                             fromSystem(conversionMessage(result)));
    }
}

void MainWindow::Command1_Click() {
    SelectMode = 2;
    SelectWindow picker(this);
    picker.exec();
    if (PickedFile.empty()) return;
    guarded(this, [&] {
        lockPickedFile(PickedFile);
        list1_->clear();
        fillLocks();
    });
}

bool MainWindow::deleteSelected(QListWidget* list, const char* listFile, const char* transient,
                                const char* nothingSelected) {
    const std::vector<std::string> selected = selectedEntries(list);
    if (selected.empty()) {
        Dialogs::current().message(this, nothingSelected);
        return false;
    }
    if (list == list1_ && !unlockConfirmed(selected)) return false;
    deleteEntries(listFile, transient, selected);
    list->clear();
    return true;
}

void MainWindow::Command2_Click() {
    guarded(this, [&] {
        if (!deleteSelected(list1_, kLockedFile, kLockedTransient, kNothingToUnlock)) return;
        fillLocks();
    });
}

void MainWindow::Command4_Click() {
    guarded(this, [&] {
        if (!deleteSelected(list2_, kFilesFile, kFilesTransient, kNothingToDelete)) return;
        const int count = fillList(list2_, networkFile(kFilesFile));
        if (count > 0) setFilesCaption(count);
    });
}

void MainWindow::Command13_Click() {
    guarded(this, [&] { lockAll(); });
    Timer1_Timer();
}

void MainWindow::Command14_Click() {
    guarded(this, [&] {
        if (unlockConfirmed(std::nullopt)) unlockAll();
    });
    Timer1_Timer();
}

namespace {

// The folder picker in the mode that hands the folder back; empty when nothing was picked.
std::string pickFolder(QWidget* parent, const char* caption) {
    PathMode = 1;
    PathCaption = caption;
    PickedFolder.clear();  // a picker closed by its close box hands back nothing
    {
        PathWindow picker(parent);
        picker.exec();
    }
    PathMode = 0;
    return PickedFolder;
}

void showMessages(QWidget* parent, const TransferOutcome& outcome) {
    for (const std::string& text : outcome.messages) Dialogs::current().message(parent, fromSystem(text));
}

}  // namespace

void MainWindow::Command9_Click() {
    const std::string picked = pickFolder(this, "Select Folder to Encrypt");
    if (picked.empty()) return;

    timer2_->stop();
    const std::string folder = shared::withTrailingBackslash(picked);
    std::string key;
    FolderPlan plan;
    bool ready = false;
    guarded(this, [&] {
        key = keyInForce();
        if (key.empty()) {
            Dialogs::current().message(this, kNoKeyToEncrypt);
            return;
        }
        // Compare with the list as it is on disk now, not as of the last refresh.
        setFilesCaption(refreshList(list2_, networkFile(kFilesFile)));
        plan = planFolder(folder, NetworkPath, listEntries(list2_));
        if (plan.toEncrypt.empty()) {
            Dialogs::current().message(this, fromSystem(nothingToEncryptMessage(folder, plan)));
            return;
        }
        ready = true;
    });
    const QString question =
        "All the files in " + fromSystem(folder) + " will be encrypted.  Are you sure you want to do this?";
    if (ready && Dialogs::current().askYesNo(this, question, "Encrypt Confirm"))
        encryptFolder(folder, key, plan);
    timer2_->start();
}

void MainWindow::Command12_Click() {
    const std::string folder = pickFolder(this, "Select Folder to Transfer");
    TransferOutcome outcome;
    guarded(this, [&] { outcome = transferSystemFiles(folder); });
    showMessages(this, outcome);
    if (outcome.next != TransferOutcome::Next::EndConsole) return;
    // The system files are gone from their places: nothing is left to refresh or to work on.
    timer1_->stop();
    timer2_->stop();
    fleext_Click();
}

void MainWindow::Command10_Click() {
    const std::string folder = pickFolder(this, "Select Folder to Restore from");
    TransferOutcome outcome;
    guarded(this, [&] { outcome = restoreSystemFiles(folder); });
    showMessages(this, outcome);
    if (outcome.next == TransferOutcome::Next::Reload) Form_Load();
}

void MainWindow::showProgress(const QString& text) {
    label2_->setText(text);
    label2_->repaint();
    keepPainting();
}

void MainWindow::encryptFolder(const std::string& folder, const std::string& key, const FolderPlan& plan) {
    size_t encrypted = 0;
    {
        BusyPointer busy;
        working_ = true;
        label2_->clear();
        label2_->show();
        progress_->setRange(0, static_cast<int>(plan.toEncrypt.size()));
        progress_->setValue(0);
        progress_->show();
        const QString note = fromSystem(leftOutNote(plan));
        EncryptionHooks hooks;
        hooks.progress = [&](size_t position, const std::string& path) {
            progress_->setValue(static_cast<int>(position - 1));
            showProgress("Encrypting " + fromSystem(platform::bareName(path)) + note);
        };
        guarded(this, [&] {
            encrypted = runEncryption(beginEncryption(NetworkPath, key, plan.toEncrypt), hooks);
            setFilesCaption(refreshList(list2_, networkFile(kFilesFile)));
        });
        label2_->hide();
        progress_->hide();
        working_ = false;
    }
    Dialogs::current().message(this, fromSystem(encryptedMessage(folder, encrypted, plan)));
    if (closeRequested_) close();
}

void MainWindow::showHelp(const char* file) {
    HelpFile = file;
    HelpWindow window(this);
    guarded(this, [&] { window.Form_Load(); });
    window.exec();
}

void MainWindow::hlpabt_Click() {
    AboutWindow window(this);
    window.exec();
}

void MainWindow::shutDownLibrary() {
    if (shutDown_) return;
    shutDown_ = true;
    guarded(this, [&] {
        SdkArg.clear();
        shutDown(SdkArg);
    });
}

void MainWindow::fleext_Click() {
    shutDownLibrary();
    close();
    QCoreApplication::quit();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The library's key set-up must outlive the documents being encrypted.
    if (working_) {
        closeRequested_ = true;
        event->ignore();
        return;
    }
    shutDownLibrary();
    event->accept();
}

}  // namespace varkel::admin
