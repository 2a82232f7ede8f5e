// frmDefine, "Define Applications": the fourteen application slots that the launchers offer,
// each a location (Text1 .. Text14, with "Browse..." Command1 .. Command14) and a button text
// (Text15 .. Text28). "Save" (Command15) replaces the application list with the complete
// slots; "Cancel" (Command16) writes nothing.
#pragma once

#include "ApplicationDefinitions.h"

#include <QDialog>

#include <array>
#include <cstdint>

class QLineEdit;
class QPushButton;

namespace varkel::admin {

class DefineWindow : public QDialog {
    Q_OBJECT
public:
    static constexpr int kSlots = shared::kApplicationSlots;

    // Opens on the stored list (Form_Load).
    explicit DefineWindow(QWidget* parent = nullptr);

    void Form_Load();
    // "Browse..." of slot N calls GetPath(N).
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    void Command8_Click();
    void Command9_Click();
    void Command10_Click();
    void Command11_Click();
    void Command12_Click();
    void Command13_Click();
    void Command14_Click();
    void GetPath(int16_t num);
    // The button text of slot N changed: Text(14 + N)_Change.
    void Text15_Change();
    void Text16_Change();
    void Text17_Change();
    void Text18_Change();
    void Text19_Change();
    void Text20_Change();
    void Text21_Change();
    void Text22_Change();
    void Text23_Change();
    void Text24_Change();
    void Text25_Change();
    void Text26_Change();
    void Text27_Change();
    void Text28_Change();
    void Command15_Click();  // Save
    void Command16_Click();  // Cancel

private:
    void buildWindow();
    void connectHandlers();
    void warnWhenTooLong(int box);
    ApplicationSlots slotsShown() const;
    void showSlots(const ApplicationSlots& definitions);

    // Text[1] .. Text[28] and Command[1] .. Command[16]; index 0 is unused.
    std::array<QLineEdit*, 2 * kSlots + 1> Text{};
    std::array<QPushButton*, kSlots + 3> Command{};
};

}  // namespace varkel::admin
