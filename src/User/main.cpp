#include "Form1.h"
#include "TerminationSignal.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varkel Encryption Windows Interface");
    // From here on a request to end (log-out, kill) waits for the window, which closes in order.
    varkel::platform::terminationSignalDescriptor();
    varkel::user::Form1 window;
    window.endOnTerminationSignals();
    window.show();
    return QApplication::exec();
}
