// frmHelp: shows the help text named by HelpFile, line by line, and prints it.
#pragma once

#include <QDialog>

class QListWidget;

namespace varkel::admin {

class HelpWindow : public QDialog {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    void Form_Load();       // reads HelpFile into List1; raises VbError 53 or 62
    void Command1_Click();  // Done
    void Command2_Click();  // print

private:
    QListWidget* list1_;
};

// frmAbout.
class AboutWindow : public QDialog {
    Q_OBJECT
public:
    explicit AboutWindow(QWidget* parent = nullptr);
};

}  // namespace varkel::admin
