// Watching the application a cycle started, as the OS family found at start-up says.
#pragma once

#include "Process.h"

#include <cstdint>
#include <string>

namespace varkel::user {

// The process opened for watching; an empty handle when it cannot be opened.
platform::ProcessHandle ProcFromProcID(int32_t idProc);

// Whether the process runs. "WinNT" and "Win9x" ask the platform; any other family (and
// none) reports it ended, so a wait ends after its first look.
bool Inst(const std::string& osFamily, int32_t pid);

}  // namespace varkel::user
