#include "frmFinished.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varkel::user {

frmFinished::frmFinished(QWidget* parent) : QDialog(parent) {
    setObjectName("frmFinished");
    setWindowTitle("Varkel Encryption Windows Interface");
    setWindowModality(Qt::ApplicationModal);
    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    cmdFinished = new QPushButton("Finished Editing", this);
    cmdFinished->setObjectName("cmdFinished");
    cmdFinished->setAccessibleName("Finished Editing");
    cmdFinished->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(cmdFinished, 0, Qt::AlignCenter);
    connect(cmdFinished, &QPushButton::clicked, this, &frmFinished::cmdFinished_Click);
}

void frmFinished::setText(const QString& text) {
    Label1->setText(text);
    Label1->setAccessibleName(text);
}

bool frmFinished::takePressed() {
    const bool pressed = pressed_;
    pressed_ = false;
    return pressed;
}

void frmFinished::reject() { pressed_ = true; }

void frmFinished::cmdFinished_Click() { pressed_ = true; }

}  // namespace varkel::user
