// frmSelect, the file picker: a click on a file puts its full path into PickedFile; "Set"
// closes; "Cancel" empties PickedFile.
#pragma once

#include <QDialog>

class QLabel;
class QListWidget;
class QListWidgetItem;

namespace varkel::admin {

class FolderControls;

class SelectWindow : public QDialog {
    Q_OBJECT
public:
    explicit SelectWindow(QWidget* parent = nullptr);

    void Dir1_Change();
    void File1_Click(QListWidgetItem* item);
    void Command1_Click();
    void Command2_Click();

private:
    FolderControls* folders_;
    QListWidget* file1_;
    QLabel* label1_;
};

}  // namespace varkel::admin
