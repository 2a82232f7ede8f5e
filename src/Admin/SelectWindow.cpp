#include "SelectWindow.h"

#include "Console.h"
#include "Dialogs.h"
#include "FolderControls.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

namespace varkel::admin {
using shared::fromSystem;

SelectWindow::SelectWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmSelect");
    setWindowTitle(SelectMode == 2 ? "Select File to Lock" : "Select Executable File");
    folders_ = new FolderControls(this);
    file1_ = new QListWidget(this);
    file1_->setObjectName("File1");
    file1_->setAccessibleName("Files");
    label1_ = new QLabel(this);
    label1_->setObjectName("Label1");
    label1_->setAccessibleName("Chosen File");
    auto* set = new QPushButton("Set", this);
    set->setObjectName("Command1");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("Command2");
    PickedFile.clear();

    auto* grid = new QGridLayout(this);
    grid->addWidget(folders_->drive(), 0, 0);
    grid->addWidget(folders_->folders(), 1, 0);
    grid->addWidget(file1_, 0, 1, 2, 1);
    grid->addWidget(label1_, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(set);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    resize(520, 380);

    Dir1_Change();
    connect(folders_, &FolderControls::folderChanged, this, &SelectWindow::Dir1_Change);
    connect(folders_, &FolderControls::folderClicked, this, &SelectWindow::Dir1_Change);
    connect(file1_, &QListWidget::itemClicked, this, &SelectWindow::File1_Click);
    connect(set, &QPushButton::clicked, this, &SelectWindow::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &SelectWindow::Command2_Click);
}

void SelectWindow::Dir1_Change() {
    file1_->clear();
    for (const std::string& name : folders_->browser().files()) file1_->addItem(fromSystem(name));
}

void SelectWindow::File1_Click(QListWidgetItem* item) {
    if (item == nullptr) return;
    PickedFile = folders_->browser().filePath(shared::toSystem(item->text()));
    label1_->setText(fromSystem(PickedFile));
    label1_->repaint();
}

void SelectWindow::Command1_Click() { accept(); }

void SelectWindow::Command2_Click() {
    PickedFile.clear();
    reject();
}

}  // namespace varkel::admin
