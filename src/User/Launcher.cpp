#include "Launcher.h"

#include "File.h"
#include "Process.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"

namespace varkel::user {
using namespace varkel::platform;

Applications readApplications(const std::string& networkPath) {
    const std::vector<std::string> lines = shared::readLines(networkPath + "apps.dat");
    if (lines.empty()) raise(kInputPastEnd, networkPath + "apps.dat");
    Applications apps;
    for (size_t k = 1; k <= lines.size() && k <= kSlotCount; ++k) {
        const std::string& line = lines[k - 1];
        const size_t colon = line.find(':');
        if (colon == std::string::npos) continue;
        apps[k] = Application{line.substr(0, colon), line.substr(colon + 1)};
    }
    return apps;
}

std::optional<std::string> readNetworkPath() {
    uint64_t length = 0;
    {
        RecordFile file("network.dat", 1);
        length = file.length();
    }
    if (length == 0) {
        deleteFile("network.dat");
        return std::nullopt;
    }
    return shared::withTrailingBackslash(shared::readFirstEntry("network.dat"));
}

std::string osFamily() {
    OsVersionInfo info;
    info.size = 148;
    if (!getVersionEx(info)) return {};
    switch (info.platformId) {
    case kPlatformWin32s: return "Win32";
    case kPlatformWindows: return "Win9x";
    case kPlatformNt: return "WinNT";
    default: return {};
    }
}

std::string readCurrentKey(const std::string& networkPath) { return shared::readFirstEntry(networkPath + "key.dat"); }

std::string documentPath(const std::string& folder, const std::string& name) { return joinPath(folder, name); }

}  // namespace varkel::user
