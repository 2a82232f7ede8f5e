// The drive selector (Drive1) and folder list (Dir1) that both pickers show, bound to a
// FolderBrowser. A double click or Enter on a folder opens it; ".." goes up.
#pragma once

#include "FolderBrowser.h"

#include <QObject>

class QComboBox;
class QListWidget;
class QListWidgetItem;
class QWidget;

namespace varkel::admin {

class FolderControls : public QObject {
    Q_OBJECT
public:
    explicit FolderControls(QWidget* parent);
    QComboBox* drive() const { return drive_; }
    QListWidget* folders() const { return folders_; }
    const shared::FolderBrowser& browser() const { return browser_; }

signals:
    void folderChanged();  // Dir1_Change: the folder list moved to another folder
    void folderClicked();  // Dir1_Click

protected:
    // Enter in the folder list opens the highlighted folder; it does not reach the window's
    // default button ("Set"), which would pick the folder the list showed before.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Drive1_Change(int index);
    void openItem(QListWidgetItem* item);
    void fill();

    shared::FolderBrowser browser_;
    QComboBox* drive_;
    QListWidget* folders_;
};

}  // namespace varkel::admin
