#include "Console.h"

namespace varkel::admin {

void resetConsoleVariables() {
    NetworkPath.clear();
    SdkArg.clear();
    PathMode = 0;
    PathCaption.clear();
    PickedFolder.clear();
    SelectMode = 0;
    PickedFile.clear();
    HelpFile.clear();
    ConvertDone = false;
}

}  // namespace varkel::admin
