#include "frmHelp.h"

#include "Dialogs.h"
#include "SystemFiles.h"
#include "VbError.h"

#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace varkel::user {

frmHelp::frmHelp(QWidget* parent) : QDialog(parent) {
    setObjectName("frmHelp");
    setWindowTitle("Using Varkel Interface");
    setModal(true);
    List1 = new QListWidget(this);
    List1->setObjectName("List1");
    List1->setAccessibleName("Using Varkel Interface");
    QFont font("Lucida Console");
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    List1->setFont(font);
    Command1 = new QPushButton("Done", this);
    Command1->setObjectName("Command1");
    Command1->setAccessibleName("Done");
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List1);
    layout->addWidget(Command1, 0, Qt::AlignRight);
    resize(640, 480);
}

bool frmHelp::Form_Load() {
    List1->clear();
    try {
        const std::vector<std::string> lines = shared::readLines("userhelp.txt");
        if (lines.empty()) platform::raise(platform::kInputPastEnd, "userhelp.txt");
        for (const auto& line : lines) List1->addItem(shared::fromSystem(line));
        return true;
    } catch (const platform::VbError& e) {
        shared::Dialogs::current().message(parentWidget(), shared::runTimeErrorText(e.number(), e.detail()));
        return false;
    }
}

}  // namespace varkel::user
