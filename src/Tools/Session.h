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
// destroyed. A second signal ends the program at once.
void watchInterrupts();
bool interrupted();

using FileOperation = int32_t (_SDK::*)(std::string&);

// Creates a library object, sets up `key` for `mode` in the current folder, runs `work` and
// then destroys the key files unless `keepKeys`, also when the work failed. Returns the exit
// status: 0 when the set-up, the work and the clean-up all succeeded, else 1.
int runWithKeys(const std::string& key, KeyMode mode, bool keepKeys, std::ostream& err,
                const std::function<bool(_SDK&)>& work);

// Runs `work` on a library object without any key. Returns the exit status as above.
int runWithoutKeys(const std::function<bool(_SDK&)>& work);

// VrkShutDown: overwrites and deletes the key files of the current folder.
bool destroyKeys(_SDK& sdk, std::ostream& err);

}  // namespace varkel::tools
