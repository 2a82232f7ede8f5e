// What a long command shows while it holds the window's thread.
#pragma once

#include <QApplication>

namespace varkel::admin {

// The hourglass pointer for the life of a command.
class BusyPointer {
public:
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;
};

// Repaints the windows while a command works, taking no input meanwhile.
inline void keepPainting() { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); }

}  // namespace varkel::admin
