#include "ConvertWindow.h"

#include "BusyPointer.h"
#include "Console.h"
#include "Conversion.h"
#include "Dialogs.h"
#include "Guarded.h"
#include "KeyGeneration.h"
#include "SystemFiles.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace varkel::admin {
using shared::Dialogs;
using shared::fromSystem;
using shared::toSystem;

namespace {

const char* const kNoNewKey = "You must select the new key.";
const char* const kNoFiles = "There are no files to process Error.";
const char* const kNoCurrentKey =
    "No Key has been defined as yet, so there is nothing to convert from.  Set the current key first.";
const char* const kNewKeyNotDigits = "The selected key is not a string of digits.  Please select another key.";

}  // namespace

ConvertWindow::ConvertWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmConvert");
    setWindowTitle("Convert Files");

    auto* frame1 = new QGroupBox("Old (Current) Key", this);
    frame1->setObjectName("Frame1");
    text1_ = new QLineEdit(frame1);
    text1_->setObjectName("Text1");
    text1_->setAccessibleName("Old (Current) Key");
    text1_->setReadOnly(true);
    (new QVBoxLayout(frame1))->addWidget(text1_);

    auto* frame2 = new QGroupBox("Select New Key", this);
    frame2->setObjectName("Frame2");
    list1_ = new QListWidget(frame2);
    list1_->setObjectName("List1");
    list1_->setAccessibleName("Select New Key");
    list1_->setSelectionMode(QAbstractItemView::SingleSelection);
    (new QVBoxLayout(frame2))->addWidget(list1_);

    chkAllow_ = new QCheckBox("Allow C: Drive Filenames", this);
    chkAllow_->setObjectName("chkAllow");
    label1_ = new QLabel(this);
    label1_->setObjectName("Label1");
    label1_->setAccessibleName("Progress");
    auto* convert = new QPushButton("Convert", this);
    convert->setObjectName("Command1");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("Command2");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame2);
    layout->addWidget(chkAllow_);
    layout->addWidget(label1_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(convert);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    resize(460, 420);

    connect(convert, &QPushButton::clicked, this, &ConvertWindow::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &ConvertWindow::Command2_Click);
    Form_Load();
}

// A missing key file or key list shows as an empty box or an empty list.
void ConvertWindow::Form_Load() {
    guarded(this, [&] {
        list1_->clear();
        text1_->clear();
        label1_->clear();
        chkAllow_->setChecked(true);
        if (shared::FilePresent(networkFile(kKeyFile)))
            text1_->setText(fromSystem(shared::readFirstEntry(networkFile(kKeyFile))));
        for (const std::string& key : shared::presentEntries(kKeyListFile)) list1_->addItem(fromSystem(key));
    });
}

void ConvertWindow::Command2_Click() { reject(); }

void ConvertWindow::Command1_Click() {
    guarded(this, [&] {
        const QList<QListWidgetItem*> selected = list1_->selectedItems();
        if (selected.isEmpty()) {
            Dialogs::current().message(this, kNoNewKey);
            return;
        }
        const std::string newKey = toSystem(selected.front()->text());
        if (!shared::FilePresent(networkFile(kFilesFile))) {
            Dialogs::current().message(this, kNoFiles);
            return;
        }
        // The documents are encrypted under the key the console set up from the key file.
        if (!shared::FilePresent(networkFile(kKeyFile))) {
            Dialogs::current().message(this, kNoCurrentKey);
            return;
        }
        if (!isKeyString(newKey)) {
            Dialogs::current().message(this, kNewKeyNotDigits);
            return;
        }
        // Every registered document must end under the new key: none may be held by a user.
        const ConversionSurvey survey = surveyConversion(NetworkPath, chkAllow_->isChecked());
        if (!survey.locked.empty()) {
            Dialogs::current().message(this, fromSystem(lockedDocumentsMessage(survey.locked)));
            return;
        }
        if (!Dialogs::current().askYesNo(this, fromSystem(conversionQuestion(survey, NetworkPath)), "Convert Confirm"))
            return;
        convert(shared::readFirstEntry(networkFile(kKeyFile)), newKey);
    });
}

void ConvertWindow::convert(const std::string& oldKey, const std::string& newKey) {
    ConversionResult result;
    {
        BusyPointer busy;
        ConversionStart start = beginConversion(NetworkPath, oldKey, newKey, chkAllow_->isChecked());
        if (!start.journal) {  // a launcher locked a document since the check
            Dialogs::current().message(this, fromSystem(lockedDocumentsMessage(start.locked)));
            return;
        }
        ConversionHooks hooks;
        hooks.progress = [this](const std::string& text) { showProgress(text); };
        result = runConversion(std::move(*start.journal), hooks);
        ConvertDone = true;
    }
    Dialogs::current().message(this, fromSystem(conversionMessage(result)));
    accept();
}

void ConvertWindow::showProgress(const std::string& text) {
    label1_->setText(fromSystem(text));
    label1_->repaint();
    keepPainting();
}

}  // namespace varkel::admin
