#include "FolderControls.h"

#include "Dialogs.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QStyle>

namespace varkel::admin {
using shared::fromSystem;
using shared::toSystem;

FolderControls::FolderControls(QWidget* parent)
    : QObject(parent), drive_(new QComboBox(parent)), folders_(new QListWidget(parent)) {
    drive_->setObjectName("Drive1");
    drive_->setAccessibleName("Drive");
    folders_->setObjectName("Dir1");
    folders_->setAccessibleName("Folders");
    for (const std::string& letter : shared::FolderBrowser::drives()) drive_->addItem(fromSystem(letter));
    drive_->setCurrentText(fromSystem(browser_.drive()));
    fill();
    connect(drive_, &QComboBox::currentIndexChanged, this, &FolderControls::Drive1_Change);
    connect(folders_, &QListWidget::itemActivated, this, &FolderControls::openItem);
    connect(folders_, &QListWidget::itemClicked, this, &FolderControls::folderClicked);
    folders_->installEventFilter(this);
}

bool FolderControls::eventFilter(QObject* watched, QEvent* event) {
    if (watched != folders_ || event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return QObject::eventFilter(watched, event);
    openItem(folders_->currentItem());
    return true;
}

void FolderControls::Drive1_Change(int index) {
    if (index < 0) return;
    if (browser_.setDrive(toSystem(drive_->itemText(index)))) {
        fill();
        emit folderChanged();
        return;
    }
    // A drive that cannot be read is ignored: the selector goes back to the folder's drive.
    const QSignalBlocker block(drive_);
    drive_->setCurrentText(fromSystem(browser_.drive()));
}

void FolderControls::openItem(QListWidgetItem* item) {
    if (item == nullptr || !browser_.open(toSystem(item->text()))) return;
    fill();
    emit folderChanged();
}

void FolderControls::fill() {
    folders_->clear();
    const QIcon icon = folders_->style()->standardIcon(QStyle::SP_DirIcon);
    if (!browser_.atRoot()) folders_->addItem(new QListWidgetItem(icon, ".."));
    for (const std::string& name : browser_.subfolders()) folders_->addItem(new QListWidgetItem(icon, fromSystem(name)));
}

}  // namespace varkel::admin
