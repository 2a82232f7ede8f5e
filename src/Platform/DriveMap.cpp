#include "DriveMap.h"

#include "CodePage.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>

namespace varkel::platform {
namespace fs = std::filesystem;

DriveMap::DriveMap() { drives_.push_back({"C:", "/"}); }

std::string DriveMap::normaliseRoot(std::string_view root) {
    std::string r(root);
    std::replace(r.begin(), r.end(), '/', '\\');
    while (r.size() > 2 && r.back() == '\\') r.pop_back();
    if (r.size() == 2 && r[1] == ':') r[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(r[0])));
    return r;
}

void DriveMap::set(std::string root, fs::path host) {
    root = normaliseRoot(root);
    auto it = std::find_if(drives_.begin(), drives_.end(),
                           [&](const DriveMapping& d) { return equalsIgnoreCase(d.root, root); });
    if (it != drives_.end()) {
        it->host = std::move(host);
    } else {
        drives_.push_back({std::move(root), std::move(host)});
    }
    std::sort(drives_.begin(), drives_.end(), [](const DriveMapping& a, const DriveMapping& b) {
        const bool aUnc = a.root.size() != 2, bUnc = b.root.size() != 2;
        if (aUnc != bUnc) return !aUnc;
        return toLower(a.root) < toLower(b.root);
    });
}

void DriveMap::addFromText(std::string_view text) {
    std::istringstream in{std::string(text)};
    std::string line;
    while (std::getline(in, line)) {
        if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
        std::istringstream words(line);
        std::string root;
        if (!(words >> root)) continue;
        std::string host;
        std::getline(words >> std::ws, host);
        while (!host.empty() && std::isspace(static_cast<unsigned char>(host.back()))) host.pop_back();
        if (host.empty()) continue;
        const bool letter = root.size() == 2 && root[1] == ':' && std::isalpha(static_cast<unsigned char>(root[0]));
        const bool unc = root.size() > 2 && (root.rfind("\\\\", 0) == 0 || root.rfind("//", 0) == 0);
        // A relative folder would move with the current folder of whoever reads the map.
        if ((letter || unc) && fs::path(host).is_absolute()) set(utf8ToCp1252(root), fs::path(host));
    }
}

std::optional<fs::path> DriveMap::hostFolder(std::string_view root) const {
    const std::string r = normaliseRoot(root);
    for (const auto& d : drives_)
        if (equalsIgnoreCase(d.root, r)) return d.host;
    return std::nullopt;
}

const DriveMapping* DriveMap::owner(const fs::path& host) const {
    const DriveMapping* best = nullptr;
    size_t bestLength = 0;
    const std::string h = host.lexically_normal().string();
    for (const auto& d : drives_) {
        std::string folder = d.host.lexically_normal().string();
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        const bool inside = h == folder || folder == "/" ||
                            (h.size() > folder.size() && h.compare(0, folder.size(), folder) == 0 &&
                             h[folder.size()] == '/');
        if (inside && (best == nullptr || folder.size() > bestLength)) {
            best = &d;
            bestLength = folder.size();
        }
    }
    return best;
}

fs::path userDriveMapFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') return fs::path(xdg) / "varkel" / "drives";
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "/") / ".config" / "varkel" / "drives";
}

namespace {

struct Stamp {
    fs::path file;
    bool exists = false;
    timespec mtime{};
    off_t size = 0;
    ino_t inode = 0;
    bool operator==(const Stamp& o) const {
        return file == o.file && exists == o.exists && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && size == o.size && inode == o.inode;
    }
};

Stamp stampOf(const fs::path& file) {
    Stamp s{file};
    struct stat st {};
    if (::stat(file.c_str(), &st) == 0) {
        s.exists = true;
        s.mtime = st.st_mtim;
        s.size = st.st_size;
        s.inode = st.st_ino;
    }
    return s;
}

std::string readAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

DriveMap currentDriveMap() {
    // Cached per process; the stamps of both files decide when to read them again.
    static std::mutex lock;
    static std::vector<Stamp> stamps;
    static DriveMap cached;
    const std::vector<Stamp> now = {stampOf("/etc/varkel/drives"), stampOf(userDriveMapFile())};
    std::lock_guard guard(lock);
    if (now != stamps) {
        DriveMap map;
        for (const auto& s : now)
            if (s.exists) map.addFromText(readAll(s.file));
        cached = map;
        stamps = now;
    }
    return cached;
}

}  // namespace varkel::platform
