#include "DefineWindow.h"

#include "Console.h"
#include "Dialogs.h"
#include "Guarded.h"
#include "SelectWindow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

namespace varkel::admin {
using shared::fromSystem;
using shared::toSystem;

namespace {

// The launchers' buttons are narrow: longer texts are allowed but warned about.
constexpr int kButtonTextLimit = 7;
const char* const kButtonTextTooLong = "Button names cannot exceed 7 characters.";
const char* const kButtonTextHoldsColon = "Button names cannot contain \":\".";

// Each slot is one line of the list: a line break pasted into a box (a path copied with its
// newline, say) would split the slot in two and move every later slot down a button.
class OneLine : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override {
        for (qsizetype i = input.size() - 1; i >= 0; --i) {
            if (input[i] != u'\r' && input[i] != u'\n') continue;
            input.remove(i, 1);
            if (position > i) --position;
        }
        return Acceptable;
    }
};

int locationBox(int slot) { return slot; }
int buttonTextBox(int slot) { return DefineWindow::kSlots + slot; }

}  // namespace

DefineWindow::DefineWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmDefine");
    setWindowTitle("Define Applications");
    buildWindow();
    connectHandlers();
    Form_Load();
}

void DefineWindow::buildWindow() {
    auto* grid = new QGridLayout(this);
    auto* label16 = new QLabel("Application EXE location", this);
    label16->setObjectName("Label16");
    auto* label15 = new QLabel("Button Text", this);
    label15->setObjectName("Label15");
    grid->addWidget(label16, 0, 1);
    grid->addWidget(label15, 0, 3);

    auto* oneLine = new OneLine(this);
    auto textBox = [&](int box, const QString& accessible) {
        auto* text = new QLineEdit(this);
        text->setValidator(oneLine);
        text->setObjectName(QStringLiteral("Text%1").arg(box));
        text->setAccessibleName(accessible);
        Text[box] = text;
        return text;
    };
    auto button = [&](int number, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QStringLiteral("Command%1").arg(number));
        b->setAccessibleName(caption);
        b->setAutoDefault(false);  // Enter in a text box must not press a button
        Command[number] = b;
        return b;
    };
    for (int slot = 1; slot <= kSlots; ++slot) {
        const QString application = QStringLiteral("Application %1").arg(slot);
        auto* label = new QLabel(application, this);
        label->setObjectName(QStringLiteral("Label%1").arg(slot));
        auto* location = textBox(locationBox(slot), application + " EXE location");
        label->setBuddy(location);
        auto* browse = button(slot, "Browse...");
        browse->setAccessibleDescription(application);
        auto* buttonText = textBox(buttonTextBox(slot), application + " Button Text");
        buttonText->setMaximumWidth(120);
        grid->addWidget(label, slot, 0);
        grid->addWidget(location, slot, 1);
        grid->addWidget(browse, slot, 2);
        grid->addWidget(buttonText, slot, 3);
    }
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(button(15, "Save"));
    buttons->addWidget(button(16, "Cancel"));
    grid->addLayout(buttons, kSlots + 1, 0, 1, 4);
    resize(760, sizeHint().height());
}

void DefineWindow::connectHandlers() {
    using Handler = void (DefineWindow::*)();
    static constexpr std::array<Handler, kSlots> browse{
        &DefineWindow::Command1_Click,  &DefineWindow::Command2_Click,  &DefineWindow::Command3_Click,
        &DefineWindow::Command4_Click,  &DefineWindow::Command5_Click,  &DefineWindow::Command6_Click,
        &DefineWindow::Command7_Click,  &DefineWindow::Command8_Click,  &DefineWindow::Command9_Click,
        &DefineWindow::Command10_Click, &DefineWindow::Command11_Click, &DefineWindow::Command12_Click,
        &DefineWindow::Command13_Click, &DefineWindow::Command14_Click};
    static constexpr std::array<Handler, kSlots> buttonTextChanged{
        &DefineWindow::Text15_Change, &DefineWindow::Text16_Change, &DefineWindow::Text17_Change,
        &DefineWindow::Text18_Change, &DefineWindow::Text19_Change, &DefineWindow::Text20_Change,
        &DefineWindow::Text21_Change, &DefineWindow::Text22_Change, &DefineWindow::Text23_Change,
        &DefineWindow::Text24_Change, &DefineWindow::Text25_Change, &DefineWindow::Text26_Change,
        &DefineWindow::Text27_Change, &DefineWindow::Text28_Change};
    for (int slot = 1; slot <= kSlots; ++slot) {
        connect(Command[slot], &QPushButton::clicked, this, browse[slot - 1]);
        // textChanged, not textEdited: filling a box from the list checks it too.
        connect(Text[buttonTextBox(slot)], &QLineEdit::textChanged, this, buttonTextChanged[slot - 1]);
    }
    connect(Command[15], &QPushButton::clicked, this, &DefineWindow::Command15_Click);
    connect(Command[16], &QPushButton::clicked, this, &DefineWindow::Command16_Click);
}

void DefineWindow::Form_Load() {
    for (int box = 1; box <= 2 * kSlots; ++box) Text[box]->clear();
    guarded(this, [&] { showSlots(readApplicationSlots(NetworkPath)); });
}

void DefineWindow::showSlots(const ApplicationSlots& definitions) {
    for (int slot = 1; slot <= kSlots; ++slot) {
        Text[locationBox(slot)]->setText(fromSystem(definitions[slot - 1].location));
        Text[buttonTextBox(slot)]->setText(fromSystem(definitions[slot - 1].buttonText));
    }
}

ApplicationSlots DefineWindow::slotsShown() const {
    ApplicationSlots definitions;
    for (int slot = 1; slot <= kSlots; ++slot)
        definitions[slot - 1] = {.location = toSystem(Text[locationBox(slot)]->text()),
                                 .buttonText = toSystem(Text[buttonTextBox(slot)]->text())};
    return definitions;
}

void DefineWindow::Command1_Click() { GetPath(1); }
void DefineWindow::Command2_Click() { GetPath(2); }
void DefineWindow::Command3_Click() { GetPath(3); }
void DefineWindow::Command4_Click() { GetPath(4); }
void DefineWindow::Command5_Click() { GetPath(5); }
void DefineWindow::Command6_Click() { GetPath(6); }
void DefineWindow::Command7_Click() { GetPath(7); }
void DefineWindow::Command8_Click() { GetPath(8); }
void DefineWindow::Command9_Click() { GetPath(9); }
void DefineWindow::Command10_Click() { GetPath(10); }
void DefineWindow::Command11_Click() { GetPath(11); }
void DefineWindow::Command12_Click() { GetPath(12); }
void DefineWindow::Command13_Click() { GetPath(13); }
void DefineWindow::Command14_Click() { GetPath(14); }

void DefineWindow::GetPath(int16_t num) {
    SelectMode = 1;
    {
        SelectWindow picker(this);
        picker.exec();
    }
    // The picker empties PickedFile when it opens, so empty means nothing was chosen.
    if (!PickedFile.empty()) Text[locationBox(num)]->setText(fromSystem(PickedFile));
}

void DefineWindow::Text15_Change() { warnWhenTooLong(15); }
void DefineWindow::Text16_Change() { warnWhenTooLong(16); }
void DefineWindow::Text17_Change() { warnWhenTooLong(17); }
void DefineWindow::Text18_Change() { warnWhenTooLong(18); }
void DefineWindow::Text19_Change() { warnWhenTooLong(19); }
void DefineWindow::Text20_Change() { warnWhenTooLong(20); }
void DefineWindow::Text21_Change() { warnWhenTooLong(21); }
void DefineWindow::Text22_Change() { warnWhenTooLong(22); }
void DefineWindow::Text23_Change() { warnWhenTooLong(23); }
void DefineWindow::Text24_Change() { warnWhenTooLong(24); }
void DefineWindow::Text25_Change() { warnWhenTooLong(25); }
void DefineWindow::Text26_Change() { warnWhenTooLong(26); }
void DefineWindow::Text27_Change() { warnWhenTooLong(27); }
void DefineWindow::Text28_Change() { warnWhenTooLong(28); }

void DefineWindow::warnWhenTooLong(int box) {
    // A warning only: the text stays as typed and may be saved.
    if (Text[box]->text().size() > kButtonTextLimit) shared::Dialogs::current().message(this, kButtonTextTooLong);
}

void DefineWindow::Command15_Click() {
    const ApplicationSlots definitions = slotsShown();
    // Saved, such a text would come back cut at its ":" with the rest in front of the location.
    if (const std::optional<int> slot = slotThatWouldSplit(definitions)) {
        shared::Dialogs::current().message(this, kButtonTextHoldsColon);
        Text[buttonTextBox(*slot)]->setFocus();
        return;
    }
    guarded(this, [&] { writeApplicationSlots(NetworkPath, definitions); });
    accept();
}

void DefineWindow::Command16_Click() { reject(); }

}  // namespace varkel::admin
