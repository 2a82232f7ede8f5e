// Starts the user launcher's main window in the current folder, as a user starting the
// launcher there would, and reports whether it came up: exit 0 and the button captions on
// standard output when it did, 1 and the failure's text on standard error when its start-up
// failed, 2 when it said it cannot run, 3 when it showed no application button.
#include "Dialogs.h"
#include "Form1.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>

namespace {

class ReportingDialogs : public varkel::shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        std::exit(2);
    }
    bool askYesNo(QWidget*, const QString& text, const QString&) override {
        std::fprintf(stderr, "unexpected question: %s\n", text.toUtf8().constData());
        std::exit(2);
    }
    [[noreturn]] void fatal(QWidget*, const QString& text) override {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        std::exit(1);
    }
    void print(QWidget*, const QStringList&, int) override {}
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    ReportingDialogs dialogs;
    varkel::shared::Dialogs::install(&dialogs);
    int shown = 0;
    {
        varkel::user::Form1 window;
        for (int slot = 1; slot <= 14; ++slot) {  // the application buttons
            const auto* button = window.findChild<QPushButton*>(QStringLiteral("Command%1").arg(slot));
            if (button == nullptr || button->isHidden()) continue;
            std::printf("%s\n", button->text().toUtf8().constData());
            ++shown;
        }
        window.close();  // shuts the library down, as a user closing it would
    }
    return shown > 0 ? 0 : 3;
}
