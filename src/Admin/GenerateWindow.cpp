#include "GenerateWindow.h"

#include "Console.h"
#include "Dialogs.h"
#include "Guarded.h"
#include "KeyGeneration.h"
#include "Numbers.h"
#include "Replacement.h"
#include "SystemFiles.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

namespace varkel::admin {
using shared::fromSystem;
using shared::toSystem;

GenerateWindow::GenerateWindow(QListWidget* keyList, QWidget* parent) : QDialog(parent), keyList_(keyList) {
    setObjectName("frmGen");
    setWindowTitle("Generate Keys");
    auto* label1 = new QLabel("Number to Generate", this);
    label1->setObjectName("Label1");
    text1_ = new QLineEdit(this);
    text1_->setObjectName("Text1");
    text1_->setAccessibleName("Number to Generate");
    label1->setBuddy(text1_);
    auto* label2 = new QLabel("Number of Digits", this);
    label2->setObjectName("Label2");
    combo1_ = new QComboBox(this);
    combo1_->setObjectName("Combo1");
    combo1_->setAccessibleName("Number of Digits");
    combo1_->setEditable(true);
    for (int digits = 8; digits <= 18; ++digits) combo1_->addItem(QStringLiteral(" %1").arg(digits));
    combo1_->setEditText(" 18");
    label2->setBuddy(combo1_);
    auto* add = new QPushButton("Add", this);
    add->setObjectName("Command1");
    auto* replace = new QPushButton("Replace", this);
    replace->setObjectName("Command2");
    auto* cancel = new QPushButton("Cancel", this);
    cancel->setObjectName("Command3");

    auto* grid = new QGridLayout(this);
    grid->addWidget(label1, 0, 0);
    grid->addWidget(text1_, 0, 1);
    grid->addWidget(label2, 1, 0);
    grid->addWidget(combo1_, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(replace);
    buttons->addWidget(cancel);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(add, &QPushButton::clicked, this, &GenerateWindow::Command1_Click);
    connect(replace, &QPushButton::clicked, this, &GenerateWindow::Command2_Click);
    connect(cancel, &QPushButton::clicked, this, &GenerateWindow::Command3_Click);
}

void GenerateWindow::Command1_Click() { validateThenGenerate(1); }
void GenerateWindow::Command2_Click() { validateThenGenerate(2); }
void GenerateWindow::Command3_Click() { reject(); }

void GenerateWindow::validateThenGenerate(int16_t mode) {
    const auto problem = checkGenerateInput(toSystem(text1_->text()), toSystem(combo1_->currentText()));
    if (problem) {
        shared::Dialogs::current().message(this, fromSystem(*problem));
        return;
    }
    Generate(mode);
}

void GenerateWindow::Generate(int16_t& mode) {
    guarded(this, [&] {
        DigitSource digits;
        const auto keys = generateKeys(platform::val(toSystem(text1_->text())),
                                       platform::val(toSystem(combo1_->currentText())), digits);
        if (mode == 2) keyList_->clear();
        for (const std::string& key : keys) keyList_->addItem(fromSystem(key));
        std::vector<std::string> all;
        for (int i = 0; i < keyList_->count(); ++i) all.push_back(toSystem(keyList_->item(i)->text()));
        replaceSecretFile(kKeyListFileGenerated, all);
    });
    accept();
}

}  // namespace varkel::admin
