#include "EditingWatch.h"

#include "WinPath.h"

#include <filesystem>

namespace varkel::user {
namespace fs = std::filesystem;

namespace {

// Prefix and suffix around the document name. Word-style "~$" names also exist with the
// first two letters of a long name replaced, so both forms are listed.
struct LockPattern {
    const char* prefix;
    const char* suffix;
    size_t cut;  // letters of the name left out at its start
};
constexpr LockPattern kLockPatterns[] = {
    {".~lock.", "#", 0},        // office suites
    {"~$", "", 0},              // word processors and spreadsheets
    {"~$", "", 2},
    {".", ".swp", 0},           // vi family
    {".", ".swx", 0},
    {".#", "", 0},              // emacs (a symbolic link that names no file)
    {".", ".kate-swp", 0},      // kate and friends
};

// Whether a directory entry of that name exists, links included (a dangling one too).
bool entryExists(const std::string& name) {
    std::error_code ec;
    const fs::file_status st = fs::symlink_status(platform::hostPath(name), ec);
    return !ec && st.type() != fs::file_type::not_found;
}

}  // namespace

std::vector<std::string> editorLockFileNames(const std::string& name) {
    std::vector<std::string> names;
    for (const LockPattern& p : kLockPatterns) {
        if (p.cut != 0 && name.size() <= p.cut + 1) continue;
        names.push_back(p.prefix + name.substr(p.cut) + p.suffix);
    }
    return names;
}

FileStamp stampOf(const std::string& winPath) {
    std::error_code ec;
    const fs::path host = platform::hostPath(winPath);
    FileStamp stamp;
    const uintmax_t size = fs::file_size(host, ec);
    if (ec) return stamp;
    const auto modified = fs::last_write_time(host, ec);
    if (ec) return stamp;
    stamp.exists = true;
    stamp.size = size;
    stamp.modified = modified.time_since_epoch().count();
    return stamp;
}

OpenSigns openSigns(const std::string& copy) {
    OpenSigns signs;
    signs.holders = platform::processesHoldingFile(copy);
    const std::string name = platform::bareName(copy);
    const std::string folder = copy.substr(0, copy.size() - name.size());  // the copy's own folder
    for (const std::string& lock : editorLockFileNames(name))
        if (entryExists(folder + lock)) signs.lockFiles.push_back(lock);
    return signs;
}

std::optional<std::string> stillOpenIn(const std::string& copy) {
    const OpenSigns signs = openSigns(copy);
    if (!signs.holders.empty())
        return signs.holders.front().program + " (process " + std::to_string(signs.holders.front().pid) + ")";
    if (!signs.lockFiles.empty()) return "the program that keeps \"" + signs.lockFiles.front() + "\"";
    return std::nullopt;
}

}  // namespace varkel::user
