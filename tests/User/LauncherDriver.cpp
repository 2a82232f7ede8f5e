// A launcher in a process of its own, for the tests that kill it or ask it to end: it opens
// the document given on its command line with the first application, as a click on Command1
// would, and ends when the cycle is over.
//
//   launcher-driver DOCUMENT [--new] [--kill-at STEP] [--heartbeat-ms N]
//
// --new types the document's name as a new document in its folder. With --kill-at STEP
// (opening, editing, encrypting, written, unlocking) it kills itself (SIGKILL) as soon as the
// cycle has recorded that step. Messages go to standard error, one a line.
#include "CycleRecord.h"
#include "Dialogs.h"
#include "Form1.h"
#include "TerminationSignal.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

namespace {

class PrintedDialogs : public varkel::shared::Dialogs {
public:
    void message(QWidget*, const QString& text) override { std::cerr << "message: " << text.toStdString() << std::endl; }
    bool askNoByDefault(QWidget*, const QString& text, const QString&) override {
        std::cerr << "question: " << text.toStdString() << std::endl;
        return false;
    }
    [[noreturn]] void fatal(QWidget*, const QString& text) override {
        std::cerr << "fatal: " << text.toStdString() << std::endl;
        std::_Exit(3);
    }
};

varkel::user::CycleStep g_killAt;

void killAtStep(varkel::user::CycleStep step) {
    if (step == g_killAt) ::raise(SIGKILL);
}

}  // namespace

int main(int argc, char* argv[]) {
    using namespace varkel::user;
    if (argc < 2) return 2;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    varkel::platform::terminationSignalDescriptor();
    PrintedDialogs dialogs;
    varkel::shared::Dialogs::install(&dialogs);
    bool newDocument = false;
    varkel::user::WaitTimes times{.poll = std::chrono::milliseconds(20), .settle = std::chrono::milliseconds(300),
                                  .handOff = std::chrono::milliseconds(4000)};
    for (int a = 2; a < argc; ++a) {
        if (std::strcmp(argv[a], "--new") == 0) newDocument = true;
        if (std::strcmp(argv[a], "--heartbeat-ms") == 0 && a + 1 < argc)
            times.heartbeat = std::chrono::milliseconds(std::atoi(argv[a + 1]));
        if (std::strcmp(argv[a], "--kill-at") != 0 || a + 1 >= argc) continue;
        const char* steps[] = {"opening", "editing", "encrypting", "written", "unlocking"};
        for (size_t i = 0; i < std::size(steps); ++i)
            if (std::strcmp(argv[a + 1], steps[i]) == 0) g_killAt = static_cast<CycleStep>(i);
        setCycleStepObserver(&killAtStep);
    }
    Form1 form;
    form.setWaitTimes(times);
    form.endOnTerminationSignals();
    form.show();
    const std::string document = argv[1];
    if (newDocument) {
        const size_t cut = document.rfind('\\');
        form.setDirPath(document.substr(0, cut));
        form.findChild<QLineEdit*>("Text1")->setText(QString::fromStdString(document.substr(cut + 1)));
    } else {
        form.findChild<QLabel*>("Label1")->setText(QString::fromStdString(document));
    }
    QTimer::singleShot(0, &form, [&form] {
        form.Interface(1);
        form.close();
        // Quits once the events already queued have run, so that no timer is left pending.
        QTimer::singleShot(0, QCoreApplication::instance(), &QCoreApplication::quit);
    });
    return QApplication::exec();
}
