#include "HelpWindow.h"

#include "Console.h"
#include "Dialogs.h"
#include "HelpTopics.h"
#include "VbError.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace varkel::admin {
namespace {

// A small printer drawing for the print button, which carries no text.
QIcon printerIcon() {
    const QIcon themed = QIcon::fromTheme("document-print");
    if (!themed.isNull()) return themed;
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setPen(QPen(Qt::black, 1.5));
    p.setBrush(Qt::white);
    p.drawRect(7, 2, 10, 8);    // paper going in
    p.setBrush(QColor(170, 170, 170));
    p.drawRect(2, 9, 20, 9);    // body
    p.setBrush(Qt::white);
    p.drawRect(6, 15, 12, 7);   // printed page
    p.drawLine(8, 18, 16, 18);
    return QIcon(pixmap);
}

}  // namespace

HelpWindow::HelpWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmHelp");
    setWindowTitle("Using Varkel Interface");
    list1_ = new QListWidget(this);
    list1_->setObjectName("List1");
    list1_->setAccessibleName("Help Text");
    QFont font;
    font.setFamilies({"Lucida Console", "DejaVu Sans Mono", "Monospace"});
    font.setStyleHint(QFont::TypeWriter);
    list1_->setFont(font);
    auto* done = new QPushButton("Done", this);
    done->setObjectName("Command1");
    auto* print = new QPushButton(this);
    print->setObjectName("Command2");
    print->setIcon(printerIcon());
    print->setIconSize(QSize(24, 24));
    print->setAccessibleName("Print");
    print->setToolTip("Print");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(print);
    buttons->addStretch();
    buttons->addWidget(done);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(list1_);
    layout->addLayout(buttons);
    resize(640, 480);

    connect(done, &QPushButton::clicked, this, &HelpWindow::Command1_Click);
    connect(print, &QPushButton::clicked, this, &HelpWindow::Command2_Click);
}

void HelpWindow::Form_Load() {
    list1_->clear();
    for (const std::string& line : readHelpText(HelpFile)) list1_->addItem(shared::fromSystem(line));
}

void HelpWindow::Command1_Click() { accept(); }

void HelpWindow::Command2_Click() {
    QStringList lines;
    for (int i = 0; i < list1_->count(); ++i) lines << list1_->item(i)->text();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        shared::Dialogs::current().print(this, lines, 14);
    } catch (const platform::VbError& error) {
        QApplication::restoreOverrideCursor();
        // No printer is no reason to lose the console: say so and carry on.
        shared::Dialogs::current().message(this, shared::runTimeErrorText(error.number(), error.detail()));
        return;
    }
    QApplication::restoreOverrideCursor();
}

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle("About Varkel Encryption Windows Interface");
    auto* title = new QLabel("Varkel Encryption Windows Interface v2.0", this);
    title->setObjectName("Label1");
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    title->setFont(bold);
    auto* notice = new QLabel(
        "Network Administration console.\n\n"
        "Keeps the organisation's documents encrypted under one key in the shared network folder, "
        "and maintains its keys, current files and locked files.",
        this);
    notice->setObjectName("Label2");
    notice->setWordWrap(true);
    auto* copyright = new QLabel("Copyright \u00A9 The Varkel developers. All rights reserved.", this);
    copyright->setObjectName("Label3");
    auto* done = new QPushButton("Done", this);
    done->setObjectName("Command1");

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(notice);
    layout->addWidget(copyright);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(done);
    layout->addLayout(buttons);
    resize(420, 220);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace varkel::admin
