#include "PathWindow.h"

#include "Console.h"
#include "Dialogs.h"
#include "FolderControls.h"
#include "Guarded.h"
#include "SystemFiles.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace varkel::admin {

PathWindow::PathWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmPath");
    setWindowTitle(shared::fromSystem(PathCaption));
    auto* frame = new QGroupBox(this);
    frame->setObjectName("Frame1");
    folders_ = new FolderControls(frame);
    label1_ = new QLabel(frame);
    label1_->setObjectName("Label1");
    label1_->setAccessibleName("Chosen Folder");
    auto* set = new QPushButton("Set", frame);
    set->setObjectName("Command1");
    auto* cancel = new QPushButton("Cancel", frame);
    cancel->setObjectName("Command2");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(set);
    buttons->addWidget(cancel);
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(folders_->drive());
    inner->addWidget(folders_->folders());
    inner->addWidget(label1_);
    inner->addLayout(buttons);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(frame);
    resize(360, 380);

    Dir1_Change();
    connect(folders_, &FolderControls::folderChanged, this, &PathWindow::Dir1_Change);
    connect(folders_, &FolderControls::folderClicked, this, &PathWindow::Dir1_Change);
    connect(set, &QPushButton::clicked, this, &PathWindow::Command1_Click);
    connect(cancel, &QPushButton::clicked, this, &PathWindow::Command2_Click);
}

void PathWindow::Dir1_Change() {
    label1_->setText(shared::fromSystem(shared::singleBackslashes(folders_->browser().folder())));
    label1_->repaint();
}

void PathWindow::Command1_Click() {
    guarded(this, [&] {
        if (PathMode == 1)
            PickedFolder = folders_->browser().folder();
        else
            shared::writeLines(kNetworkFile, {folders_->browser().folder()});
    });
    accept();
}

void PathWindow::Command2_Click() {
    PickedFolder.clear();
    reject();
}

}  // namespace varkel::admin
