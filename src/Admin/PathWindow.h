// frmPath, the folder picker: "Set" writes network.dat (PathMode 0) or hands the folder back
// in PickedFolder (PathMode 1); "Cancel" empties PickedFolder.
#pragma once

#include <QDialog>

class QLabel;

namespace varkel::admin {

class FolderControls;

class PathWindow : public QDialog {
    Q_OBJECT
public:
    explicit PathWindow(QWidget* parent = nullptr);

    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();

private:
    FolderControls* folders_;
    QLabel* label1_;
};

}  // namespace varkel::admin
