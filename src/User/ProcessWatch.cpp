#include "ProcessWatch.h"

namespace varkel::user {

platform::ProcessHandle ProcFromProcID(int32_t idProc) { return platform::ProcessHandle(idProc); }

bool Inst(const std::string& osFamily, int32_t pid) {
    if (osFamily == "WinNT") {
        const platform::ProcessHandle handle = ProcFromProcID(pid);
        return handle && handle.running();
    }
    if (osFamily == "Win9x") return platform::processRunning(pid);
    return false;
}

}  // namespace varkel::user
