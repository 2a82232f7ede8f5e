#include "Guarded.h"

#include "Console.h"
#include "Dialogs.h"
#include "Library.h"

#include <cstdlib>

namespace varkel::admin {

void failAndExit(QWidget* parent, const QString& text) {
    try {
        SdkArg.clear();
        Library::current().VrkShutDown(SdkArg);
    } catch (...) {
        // The program ends anyway; the message below says why.
    }
    shared::Dialogs::current().fatal(parent, text);
    std::abort();  // fatal() does not come back
}

void failAndExit(QWidget* parent, const std::exception& failure) {
    if (const auto* error = dynamic_cast<const platform::VbError*>(&failure))
        failAndExit(parent, shared::runTimeErrorText(error->number(), error->detail()));
    failAndExit(parent, QString::fromUtf8(failure.what()));
}

}  // namespace varkel::admin
