// One document cycle: lock, register, decrypt into a working copy, run the application on it,
// wait until the editing has ended, encrypt, write back over the document, clean up, unlock.
// Each step that reaches the disk is first noted in the cycle record (CycleRecord.h).
#pragma once

#include "EditingWatch.h"
#include "Library.h"

#include <cstdint>
#include <string>

namespace varkel::user {

// What the cycle needs from the window.
class CycleHost {
public:
    virtual ~CycleHost() = default;
    virtual void AddToList(const std::string& text) = 0;   // one status line
    virtual void message(const std::string& text) = 0;     // a message box with OK
    virtual bool Inst(int32_t pid) = 0;                    // whether the application still runs
    // While on, the window shows its application buttons disabled.
    virtual void waiting(bool on) = 0;
    // During the wait: repaint and answer, take no input but the Finished Editing window's.
    virtual void keepPainting() = 0;
    // The Finished Editing window: shows it with `text` (or gives it the new text).
    virtual void showFinishedEditing(const std::string& text) = 0;
    // Whether its button was pressed since the last question.
    virtual bool finishedEditingPressed() = 0;
    virtual void closeFinishedEditing() = 0;
    // The launcher was asked to end: the wait stops and the cycle is brought to its end.
    virtual bool endRequested() = 0;
};

struct CycleRequest {
    std::string networkPath;   // ends in "\"
    std::string document;      // the document path (Label1)
    bool newDocument = false;  // the new-document mark (chkNew)
    std::string newName;       // the new-name box (Text1)
    std::string location;      // the command of the pressed button's application
    WaitTimes times;
};

enum class CycleEnd {
    NoExtension,  // refused: the path holds no "."
    Leftover,     // refused: a working copy or vrktemp.bin of an earlier cycle is in the way
    Exists,       // refused: a new document's name is taken in its folder
    InUse,        // refused: the document is in the lock list
    Done,
    Failed,       // reported; the user's work is kept encrypted where the message says
};

inline constexpr const char* kNoExtensionMessage =
    "New Documents require an extension to the filename.  If you are not sure what extension to use, please "
    "consult your IT professional.";
inline constexpr const char* kInUseMessage = "That File is currently in use by another user.  Please try again later.";

// "NAME is open in another window of the application. ..." for the Finished Editing window.
std::string handOffMessage(const std::string& name);
// The same window's text when the button was pressed while `who` still has the copy.
std::string stillOpenMessage(const std::string& name, const std::string& who);
// A new document whose name is taken.
std::string existsMessage(const std::string& document);

// The document path's part after its last "\" (all of it when there is none).
std::string bareNameOf(const std::string& document);

// Runs one cycle. Before it starts, the key in key.dat is compared with the one `keys` set up,
// and a changed key is set up first.
CycleEnd runCycle(const CycleRequest& request, KeySetup& keys, CycleHost& host);

}  // namespace varkel::user
