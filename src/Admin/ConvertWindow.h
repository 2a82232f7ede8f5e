// frmConvert, "Convert Files": converts every registered document from the current key to the
// key chosen from the key list.
#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;

namespace varkel::admin {

class ConvertWindow : public QDialog {
    Q_OBJECT
public:
    explicit ConvertWindow(QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click();  // Convert
    void Command2_Click();  // Cancel

private:
    void convert(const std::string& oldKey, const std::string& newKey);
    void showProgress(const std::string& text);

    QLineEdit* text1_;
    QListWidget* list1_;
    QCheckBox* chkAllow_;
    QLabel* label1_;
};

}  // namespace varkel::admin
