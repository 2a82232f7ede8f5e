// The small window the launcher shows while a document is open in another window of the
// application: what to do, and the one button that says the editing is done.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace varkel::user {

class frmFinished : public QDialog {
    Q_OBJECT
public:
    explicit frmFinished(QWidget* parent = nullptr);
    void setText(const QString& text);
    // Whether the button was pressed (or the window closed) since the last question.
    bool takePressed();

protected:
    void reject() override;  // closing the window counts as the button

private:
    void cmdFinished_Click();

    QLabel* Label1 = nullptr;
    QPushButton* cmdFinished = nullptr;
    bool pressed_ = false;
};

}  // namespace varkel::user
