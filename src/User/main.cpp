#include "Form1.h"
#include "ProgramInfo.h"
#include "TerminationSignal.h"

#include <QApplication>
#include <QIcon>

namespace {

const char* const kHelp =
    "The user launcher of a Varkel network folder: opens one encrypted document at a time in\n"
    "the application of the chosen button and encrypts it again when that application ends.\n"
    "It works in the current folder, which holds network.dat (the network folder, e.g. N:\\)\n"
    "and the user guide userhelp.txt; drives are mapped in ~/.config/varkel/drives or\n"
    "/etc/varkel/drives (\"N: /srv/varkel/share\").\n";

}  // namespace

int main(int argc, char* argv[]) {
    if (const auto status = varkel::shared::answerInformationRequest(argc, argv, "VrkWin", kHelp)) return *status;
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varkel Encryption Windows Interface");
    // The desktop ties the window to its menu entry and shows the installed icon.
    QApplication::setDesktopFileName("org.varkel.VrkWin");
    QApplication::setWindowIcon(QIcon::fromTheme("org.varkel.VrkWin"));
    // From here on a request to end (log-out, kill) waits for the window, which closes in order.
    varkel::platform::terminationSignalDescriptor();
    varkel::user::Form1 window;
    window.endOnTerminationSignals();
    window.show();
    return QApplication::exec();
}
