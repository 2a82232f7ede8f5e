// Starts the launcher in the current (working) folder offscreen and saves its window as a
// picture: vrkwin-screenshot OUTPUT.png
#include "Form1.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vrkwin-screenshot OUTPUT.png\n");
        return 2;
    }
    QApplication app(argc, argv);
    varkel::user::Form1 window;
    window.resize(720, 560);
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    window.close();
    return saved ? 0 : 1;
}
