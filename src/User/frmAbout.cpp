#include "frmAbout.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace varkel::user {

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName("frmAbout");
    setWindowTitle("About Varkel Encryption Windows Interface");
    setModal(true);
    Label1 = new QLabel("Varkel Encryption Windows Interface v1.0", this);
    Label1->setObjectName("Label1");
    QFont title = Label1->font();
    title.setBold(true);
    title.setPointSize(title.pointSize() + 2);
    Label1->setFont(title);
    auto* Label2 = new QLabel("Opens the organisation's encrypted documents in their applications\n"
                              "and encrypts them again when the application ends.", this);
    Label2->setObjectName("Label2");
    auto* Label3 = new QLabel("Documents stay encrypted in the network folder; only the working copy\n"
                              "you edit is plain, and it is wiped when you are done.", this);
    Label3->setObjectName("Label3");
    Command1 = new QPushButton("Done", this);
    Command1->setObjectName("Command1");
    Command1->setAccessibleName("Done");
    connect(Command1, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(Label2);
    layout->addWidget(Label3);
    layout->addWidget(Command1, 0, Qt::AlignRight);
}

}  // namespace varkel::user
