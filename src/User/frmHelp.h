// The launcher's user guide, "userhelp.txt" in the working folder, one list entry per line.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;

namespace varkel::user {

class frmHelp : public QDialog {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);
    // Fills the list anew from the guide; says what failed and gives false when it cannot be read.
    bool Form_Load();

private:
    QListWidget* List1;
    QPushButton* Command1;
};

}  // namespace varkel::user
