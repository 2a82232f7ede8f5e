// Runs a command of a window; a failure that the command does not handle destroys the key
// material (the library's shut-down) and then ends the program with the failure's message.
#pragma once

#include "VbError.h"

#include <QString>

#include <exception>

class QWidget;

namespace varkel::admin {

[[noreturn]] void failAndExit(QWidget* parent, const QString& text);
[[noreturn]] void failAndExit(QWidget* parent, const std::exception& failure);

template <class Command>
void guarded(QWidget* parent, Command&& command) {
    try {
        command();
    } catch (const std::exception& failure) {
        failAndExit(parent, failure);
    }
}

}  // namespace varkel::admin
