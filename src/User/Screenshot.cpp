// Starts the launcher in the current (working) folder offscreen and saves its window as a
// picture: vrkwin-screenshot OUTPUT.png [FOLDER], with the folder list at FOLDER.
#include "Form1.h"

#include <QApplication>
#include <QPixmap>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: vrkwin-screenshot OUTPUT.png [FOLDER]\n");
        return 2;
    }
    QApplication app(argc, argv);
    varkel::user::Form1 window;
    window.resize(720, 560);
    if (argc == 3) window.setDirPath(argv[2]);
    window.show();
    QApplication::processEvents();
    const bool saved = window.grab().save(QString::fromLocal8Bit(argv[1]));
    window.close();
    return saved ? 0 : 1;
}
