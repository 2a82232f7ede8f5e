// Telling when the editing of a working copy has ended: the started program and everything it
// started have ended, no process has the copy open, no editor keeps a lock file beside it, and
// the copy has stopped changing.
#pragma once

#include "Process.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varkel::user {

// The names of the lock files that usual editors and office suites keep beside a document
// they have open (".~lock.NAME#", "~$NAME" and the like), for the document name `name`.
std::vector<std::string> editorLockFileNames(const std::string& name);

struct WaitTimes {
    std::chrono::milliseconds poll{100};
    // The copy must stay unchanged this long once the signs of editing are gone.
    std::chrono::milliseconds settle{2000};
    // A program that ends this soon without a sign of editing has handed the copy on.
    std::chrono::milliseconds handOff{4000};
    // How often the waiting launcher tells the holder record that it still holds the lock.
    std::chrono::milliseconds heartbeat{30000};
};

// What a file looks like from outside: enough to see that it was written or replaced.
struct FileStamp {
    bool exists = false;
    uintmax_t size = 0;
    int64_t modified = 0;
    bool operator==(const FileStamp&) const = default;
};
FileStamp stampOf(const std::string& winPath);

// What shows that the copy is open outside the started program's process tree.
struct OpenSigns {
    std::vector<platform::FileHolder> holders;   // processes with the copy open
    std::vector<std::string> lockFiles;          // editors' lock files beside the copy
    bool open() const { return !holders.empty() || !lockFiles.empty(); }
};
OpenSigns openSigns(const std::string& copy);

// Who has the copy `copy` open: "PROGRAM (process N)", or the program that keeps an editor's
// lock file beside it; nothing when nobody does.
std::optional<std::string> stillOpenIn(const std::string& copy);

// The started program and everything it starts.
class EditingWatch {
public:
    // Starts the application's command line; returns its process id.
    int32_t start(std::string_view commandLine) { return tree_.start(commandLine); }
    // Whether a process of the tree still runs (a cheap look: it reads no open files).
    bool programRuns() { return !tree_.running().empty(); }

private:
    platform::ProcessTree tree_;
};

}  // namespace varkel::user
