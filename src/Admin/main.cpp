// VrkWinAdmin, the administrator console.
#include "Dialogs.h"
#include "Guarded.h"
#include "MainWindow.h"
#include "ProgramInfo.h"
#include "TerminationSignal.h"

#include <QApplication>
#include <QIcon>
#include <QSocketNotifier>

#include <exception>
#include <memory>

namespace {

const char* const kHelp =
    "The administrator console of a Varkel network folder: keys, applications, the encrypted\n"
    "and the locked documents. It works in the current folder, which holds network.dat (the\n"
    "network folder, e.g. N:\\), the key list Keys.dat and the help texts; drives are mapped in\n"
    "~/.config/varkel/drives or /etc/varkel/drives (\"N: /srv/varkel/share\").\n";

}  // namespace

int main(int argc, char** argv) {
    if (const auto status = varkel::shared::answerInformationRequest(argc, argv, "VrkWinAdmin", kHelp)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName("VrkWinAdmin");
    // The desktop ties the window to its menu entry and shows the installed icon.
    QApplication::setDesktopFileName("org.varkel.VrkWinAdmin");
    QApplication::setWindowIcon(QIcon::fromTheme("org.varkel.VrkWinAdmin"));
    std::unique_ptr<varkel::admin::MainWindow> window;
    try {
        window = std::make_unique<varkel::admin::MainWindow>();
    } catch (const std::exception& failure) {
        varkel::admin::failAndExit(nullptr, failure);
    }
    // Asked to end (log-out, kill): close in order, so that the key material is destroyed.
    std::unique_ptr<QSocketNotifier> terminate;
    if (const int fd = varkel::platform::terminationSignalDescriptor(); fd >= 0) {
        terminate = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(terminate.get(), &QSocketNotifier::activated, window.get(), [&] {
            terminate->setEnabled(false);
            window->close();
            QCoreApplication::quit();
        });
    }
    window->show();
    return QApplication::exec();
}
