// Running library operations for a subcommand: the key set-up before the work, the key files
// destroyed after it, and interruption between files.
#pragma once

#include "VarkelSDK.h"

#include <functional>
#include <iosfwd>
#include <string>

namespace varkel::tools {

enum class KeyMode { Binary, Text };

// From the first call on, SIGINT, SIGTERM and SIGHUP no longer end the program: a thread of
// its own notes them, the work stops before the next file and the key files are still
// destroyed. A second signal ends the program at once, with the status below.
void watchInterrupts();
bool interrupted();
// The exit status of an interrupted run, as a shell reports a program that a signal ended:
// 128 plus the signal's number (130 for SIGINT).
int interruptedStatus();

using FileOperation = int32_t (_SDK::*)(std::string&);

// Creates a library object, sets up `key` for `mode` in the current folder, runs `work` and
// then destroys the key files unless `keepKeys`, also when the work failed. Returns the exit
// status: 0 when the set-up, the work and the clean-up all succeeded, else 1.
int runWithKeys(const std::string& key, KeyMode mode, bool keepKeys, std::ostream& err,
                const std::function<bool(_SDK&)>& work);

// Runs `work` on a library object without any key. Returns the exit status as above.
int runWithoutKeys(const std::function<bool(_SDK&)>& work);

struct NamedFile;

// Works through `count` files in turn: `call(i)` runs while a progress line shows `file(i)`
// (none when `quiet`), then `after(i, status)` reports on it and says whether it went well.
// Stops before the next file once interrupted. True when every file went well.
bool forEachFile(size_t count, bool quiet, std::ostream& err, const std::function<const NamedFile&(size_t)>& file,
                 const std::function<int32_t(size_t)>& call, const std::function<bool(size_t, int32_t)>& after);

// One library call on one file, with a progress line unless `quiet`.
int32_t withProgress(const NamedFile& file, bool quiet, const std::function<int32_t()>& call);

// VrkShutDown: overwrites and deletes the key files of the current folder.
bool destroyKeys(_SDK& sdk, std::ostream& err);

}  // namespace varkel::tools
