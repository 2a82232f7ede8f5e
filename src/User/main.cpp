#include "Form1.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Varkel Encryption Windows Interface");
    varkel::user::Form1 window;
    window.endOnTerminationSignals();
    window.show();
    return QApplication::exec();
}
