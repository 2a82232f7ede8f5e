// The launcher's About box.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace varkel::user {

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(QWidget* parent = nullptr);

private:
    QLabel* Label1;
    QPushButton* Command1;
};

}  // namespace varkel::user
