// VrkWinAdmin, the administrator console.
#include "Dialogs.h"
#include "Guarded.h"
#include "MainWindow.h"
#include "TerminationSignal.h"

#include <QApplication>
#include <QSocketNotifier>

#include <exception>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("VrkWinAdmin");
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
