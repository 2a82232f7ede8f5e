#include "Launcher.h"

#include "ApplicationList.h"
#include "File.h"
#include "Process.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"

namespace varkel::user {
using namespace varkel::platform;

Applications readApplications(const std::string& networkPath) {
    const std::string list = networkPath + shared::kApplicationListFile;
    const std::vector<std::string> lines = shared::readLines(list);
    if (lines.empty()) raise(kInputPastEnd, list);
    Applications apps;
    for (size_t k = 1; k <= lines.size() && k <= kSlotCount; ++k) {
        auto split = shared::splitApplicationLine(lines[k - 1]);
        if (!split) continue;
        apps[k] = Application{std::move(split->buttonText), std::move(split->location)};
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
