// The wait of a document cycle: until the editing of its working copy has ended.
#pragma once

#include "CycleHost.h"
#include "EditingWatch.h"

#include <functional>
#include <string>

namespace varkel::user {

struct EditedCopy {
    std::string copy;   // the working copy's name in the working folder
    std::string name;   // the document's name, for the user
    FileStamp opened;   // the copy as the application got it
};

// Returns when the program's process tree has ended, no process has the copy open, no editor's
// lock file lies beside it and it has not changed for the settling time; or, when the program
// handed the copy on at once, when the user presses Finished Editing with the copy closed; or
// when the launcher is asked to end.
// `alive` runs every `times.heartbeat` while the wait goes on.
void waitUntilEditingEnds(EditingWatch& watch, int32_t pid, const EditedCopy& copy, const WaitTimes& times,
                          CycleHost& host, const std::function<void()>& alive);

// "NAME is open in another window of the application. ..." for the Finished Editing window.
std::string handOffMessage(const std::string& name);
// The same window's text when the button was pressed while `who` still has the copy.
std::string stillOpenMessage(const std::string& name, const std::string& who);

}  // namespace varkel::user
