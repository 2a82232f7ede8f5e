// One document cycle: lock, register, decrypt into a working copy, run the application on it,
// wait until the editing has ended, encrypt, write back over the document, clean up, unlock.
// Each step that reaches the disk is first noted in the cycle record (CycleRecord.h).
#pragma once

#include "CycleHost.h"
#include "EditingWatch.h"
#include "Library.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace varkel::user {

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
    SystemFile,   // refused: one of the system's own files
    Exists,       // refused: a new document's name is taken in its folder
    NotADocument, // not opened: outside the network folder or not registered, and the user said No
    InUse,        // refused: the document is in the lock list
    Done,
    Failed,       // reported; the user's work is kept encrypted where the message says
};

inline constexpr const char* kNoExtensionMessage =
    "New Documents require an extension to the filename.  If you are not sure what extension to use, please "
    "consult your IT professional.";
inline constexpr const char* kInUseMessage = "That File is currently in use by another user.  Please try again later.";

// One of the system's own files, and what it is for.
std::string systemFileMessage(const std::string& document, std::string_view role);
// Asked before a file that the network folder does not keep encrypted is opened.
std::string notADocumentQuestion(const std::string& document);
// A new document whose name is taken.
std::string existsMessage(const std::string& document);

// The document path's part after its last "\" (all of it when there is none).
std::string bareNameOf(const std::string& document);

// Runs one cycle. Before it starts, the key in key.dat is compared with the one `keys` set up,
// and a changed key is set up first.
CycleEnd runCycle(const CycleRequest& request, KeySetup& keys, CycleHost& host);

}  // namespace varkel::user
