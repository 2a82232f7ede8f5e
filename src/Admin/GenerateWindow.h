// frmGen, "Generate Keys": adds keys to, or replaces, the main window's key list (List3) and
// writes the list to the key list file.
#pragma once

#include <QDialog>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QListWidget;

namespace varkel::admin {

class GenerateWindow : public QDialog {
    Q_OBJECT
public:
    GenerateWindow(QListWidget* keyList, QWidget* parent = nullptr);

    void Command1_Click();  // Add
    void Command2_Click();  // Replace
    void Command3_Click();  // Cancel
    void Generate(int16_t& mode);

private:
    void validateThenGenerate(int16_t mode);

    QListWidget* keyList_;
    QLineEdit* text1_;
    QComboBox* combo1_;
};

}  // namespace varkel::admin
