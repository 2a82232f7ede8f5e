// Draws each window of the console headless into PNG files, for the documentation:
//   VrkAdminScreenshots OUTPUT-FOLDER
// Run it in a console working folder (with network.dat and the help texts), with
// QT_QPA_PLATFORM=offscreen.
#include "Console.h"
#include "ConvertWindow.h"
#include "DefineWindow.h"
#include "Dialogs.h"
#include "GenerateWindow.h"
#include "HelpWindow.h"
#include "MainWindow.h"
#include "PathWindow.h"
#include "SelectWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QDir>
#include <QListWidget>
#include <QPixmap>

#include <cstdio>

namespace {

// Messages are written to standard error instead of waiting for a click.
class PrintedDialogs : public varkel::shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
};

bool save(QWidget& window, const QString& folder, const char* name) {
    window.show();
    QApplication::processEvents();
    const QString file = QDir(folder).filePath(QString(name) + ".png");
    const bool saved = window.grab().save(file);
    std::fprintf(stderr, "%s %s\n", saved ? "wrote" : "could not write", qPrintable(file));
    window.hide();
    return saved;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: VrkAdminScreenshots OUTPUT-FOLDER\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    PrintedDialogs dialogs;
    varkel::shared::Dialogs::install(&dialogs);
    using namespace varkel::admin;

    bool ok = true;
    {
        MainWindow main;
        ok &= save(main, out, "frmMain");
        auto* keys = main.findChild<QListWidget*>("List3");
        GenerateWindow gen(keys, &main);
        gen.findChild<QLineEdit*>("Text1")->setText("5");
        ok &= save(gen, out, "frmGen");
        PathCaption = "Select Folder for Network Path";
        PathWindow path(&main);
        path.findChild<QComboBox*>("Drive1")->setCurrentText("N:");
        ok &= save(path, out, "frmPath");
        DefineWindow define(&main);
        define.findChild<QLineEdit*>("Text1")->setText("C:\\usr\\bin\\mousepad");
        define.findChild<QLineEdit*>("Text15")->setText("Editor");
        define.findChild<QLineEdit*>("Text2")->setText("C:\\usr\\bin\\xterm -e nano");
        define.findChild<QLineEdit*>("Text16")->setText("Console");
        ok &= save(define, out, "frmDefine");
        SelectMode = 2;
        SelectWindow select(&main);
        select.findChild<QComboBox*>("Drive1")->setCurrentText("N:");
        ok &= save(select, out, "frmSelect");
        HelpFile = "howto.txt";
        HelpWindow help(&main);
        help.Form_Load();
        ok &= save(help, out, "frmHelp");
        ConvertWindow convert(&main);
        if (auto* newKeys = convert.findChild<QListWidget*>("List1"); newKeys->count() > 1) newKeys->setCurrentRow(1);
        ok &= save(convert, out, "frmConvert");
        AboutWindow about(&main);
        ok &= save(about, out, "frmAbout");
        main.close();  // shuts the library down
    }
    return ok ? 0 : 1;
}
