#include "WinPath.h"

#include "CodePage.h"
#include "DriveMap.h"
#include "VbError.h"

#include <cerrno>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace varkel::platform {
namespace fs = std::filesystem;
namespace {

struct Parsed {
    std::string root;  // "C:", "\\server\share", "\" (root of the current drive) or "" (relative)
    std::vector<std::string> parts;
};

std::vector<std::string> splitComponents(std::string_view rest) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(std::move(part));
    return parts;
}

Parsed parse(std::string_view path) {
    Parsed p;
    const auto isSep = [](char c) { return c == '\\' || c == '/'; };
    if (path.size() >= 2 && isSep(path[0]) && isSep(path[1])) {
        auto parts = splitComponents(path.substr(2));
        p.root = "\\\\";
        if (!parts.empty()) p.root.append(parts[0]);
        if (parts.size() >= 2) {
            p.root.append(1, '\\').append(parts[1]);
            p.parts.assign(parts.begin() + 2, parts.end());
        }
        return p;
    }
    if (path.size() >= 2 && path[1] == ':' && std::isalpha(static_cast<unsigned char>(path[0]))) {
        p.root = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])))) + ":";
        p.parts = splitComponents(path.substr(2));
        return p;
    }
    if (!path.empty() && isSep(path[0])) p.root.assign(1, '\\');
    p.parts = splitComponents(path);
    return p;
}

bool entryExists(const fs::path& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

bool isScratchName(std::string_view name) {
    const std::string_view suffix = kScratchSuffix;
    return name.size() > suffix.size() && name.substr(name.size() - suffix.size()) == suffix;
}

// The entry of `folder` whose name equals `name` ignoring case, or `name` itself, when `name`
// as spelt is not there. Looking costs a listing of the whole folder, which on a network share
// is many round trips for a large folder; a scratch name is spelt one way only and is not
// looked for.
std::string variantIn(const fs::path& folder, const std::string& name) {
    if (isScratchName(name)) return name;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return name;
    const std::string wanted = utf8ToCp1252(name);
    std::string found;
    while (dirent* e = ::readdir(dir)) {
        const std::string entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        if (equalsIgnoreCase(utf8ToCp1252(entry), wanted) && (found.empty() || entry < found)) found = entry;
    }
    ::closedir(dir);
    return found.empty() ? name : found;
}

std::string matchEntry(const fs::path& folder, const std::string& name) {
    return entryExists(folder / name) ? name : variantIn(folder, name);
}

fs::path currentHostFolder() {
    std::error_code ec;
    fs::path cwd = fs::current_path(ec);
    return ec ? fs::path("/") : cwd;
}

// `base` joined with `names`, each name as found on disk whatever its letter case. Each look
// at a name is a round trip to the server on a network share, so the path as spelt is tried
// whole first, and then its folder, before the names are looked at one by one.
fs::path resolveNames(const fs::path& base, const std::vector<std::string>& names) {
    if (names.empty()) return base;
    fs::path folder = base;
    for (size_t i = 0; i + 1 < names.size(); ++i) folder /= names[i];
    if (entryExists(folder / names.back())) return folder / names.back();
    if (names.size() == 1 || entryExists(folder)) return folder / variantIn(folder, names.back());
    fs::path resolved = base;
    for (const auto& name : names) resolved /= matchEntry(resolved, name);
    return resolved;
}

// A Windows-style path as the host folder it starts from and the names below it as spelt, with
// "." and ".." applied.
struct Spelt {
    fs::path base;
    std::vector<std::string> names;
};

Spelt spell(std::string_view winPath) {
    if (winPath.empty()) raise(kBadFileName, "empty file name");
    // The host would see only the part before a NUL and act on another file.
    if (winPath.find('\0') != std::string_view::npos) raise(kBadFileName, "file name holds a NUL byte");
    const Parsed p = parse(winPath);
    Spelt spelt;
    fs::path floor;  // ".." never climbs above this
    if (p.root.empty()) {
        // A name in the current folder needs no drive map (the library's scratch files are
        // such names, and are looked up many times in each operation).
        spelt.base = currentHostFolder();
        floor = "/";
    } else if (p.root == "\\") {
        const DriveMap map = currentDriveMap();
        const DriveMapping* drive = map.owner(currentHostFolder());
        spelt.base = drive != nullptr ? drive->host : fs::path("/");
        floor = spelt.base;
    } else {
        const DriveMap map = currentDriveMap();
        auto folder = map.hostFolder(p.root);
        if (!folder) raise(kPathNotFound, std::string(winPath));
        spelt.base = *folder;
        floor = spelt.base;
    }
    for (const auto& raw : p.parts) {
        if (raw == ".") continue;
        if (raw != "..") {
            spelt.names.push_back(cp1252ToUtf8(raw));
        } else if (!spelt.names.empty()) {
            spelt.names.pop_back();
        } else if (spelt.base != floor && spelt.base.has_parent_path()) {
            spelt.base = spelt.base.parent_path();
        }
    }
    return spelt;
}

}  // namespace

fs::path hostPath(std::string_view winPath) {
    const Spelt spelt = spell(winPath);
    return resolveNames(spelt.base, spelt.names);
}

fs::path hostPathAsSpelt(std::string_view winPath) {
    Spelt spelt = spell(winPath);
    for (const auto& name : spelt.names) spelt.base /= name;
    return spelt.base;
}

std::string windowsPath(const fs::path& host) {
    const fs::path normal = host.lexically_normal();
    const DriveMap map = currentDriveMap();
    const DriveMapping* drive = map.owner(normal);
    if (drive == nullptr) return utf8ToCp1252(normal.string());
    std::string folder = drive->host.lexically_normal().string();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string whole = normal.string();
    const std::string rest = folder == "/" ? whole : whole.substr(std::min(folder.size(), whole.size()));
    std::string out = drive->root + "\\";
    for (const auto& part : splitComponents(rest)) {
        if (out.back() != '\\') out += '\\';
        out += utf8ToCp1252(part);
    }
    return out;
}

namespace {

fs::path resolvedHost(std::string_view winPath) {
    const fs::path host = hostPath(winPath);
    std::error_code ec;
    const fs::path resolved = fs::weakly_canonical(host, ec);
    return ec ? host.lexically_normal() : resolved;
}

}  // namespace

CanonicalPath canonicalPath(std::string_view winPath, std::string_view folder) {
    const fs::path file = resolvedHost(winPath);
    const fs::path base = resolvedHost(folder);
    const fs::path inside = file.lexically_relative(base);
    if (inside.empty() || inside == "." || *inside.begin() == "..") return {windowsPath(file), false};
    std::string path(folder);
    if (path.empty() || (path.back() != '\\' && path.back() != '/')) path += '\\';
    for (const auto& part : inside) {
        if (path.back() != '\\') path += '\\';
        path += utf8ToCp1252(part.string());
    }
    return {path, true};
}

std::string currentFolder() { return windowsPath(currentHostFolder()); }

void setCurrentFolder(std::string_view winPath) {
    const fs::path host = hostPath(winPath);
    if (::chdir(host.c_str()) != 0) raiseErrno(errno, std::string(winPath), true);
}

std::string bareName(std::string_view winPath) {
    const auto cut = winPath.find_last_of("\\/");
    return std::string(cut == std::string_view::npos ? winPath : winPath.substr(cut + 1));
}

std::string joinPath(std::string_view folder, std::string_view name) {
    std::string joined = std::string(folder) + "\\" + std::string(name);
    for (size_t at; (at = joined.find("\\\\")) != std::string::npos;) joined.erase(at, 1);
    return joined;
}

}  // namespace varkel::platform
