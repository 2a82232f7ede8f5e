#include "MountCaches.h"

#include "WinPath.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>

namespace varkel::platform {
namespace fs = std::filesystem;
namespace {

std::vector<std::string> splitOptions(std::string_view list) {
    std::vector<std::string> options;
    std::string option;
    std::istringstream in{std::string(list)};
    while (std::getline(in, option, ','))
        if (!option.empty()) options.push_back(option);
    return options;
}

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// Mountinfo writes blanks and the like in paths as \ooo.
std::string unescape(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) &&
            isOctal(field[i + 3])) {
            out += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

std::optional<std::string> valueOf(const std::vector<std::string>& options, std::string_view key) {
    std::optional<std::string> value;
    for (const std::string& o : options)  // the last one given counts, as with the clients
        if (o.size() > key.size() && o.compare(0, key.size(), key) == 0 && o[key.size()] == '=')
            value = o.substr(key.size() + 1);
    return value;
}

bool isZero(const std::optional<std::string>& value) {
    if (!value || value->empty()) return false;
    char* end = nullptr;
    const double number = std::strtod(value->c_str(), &end);
    return *end == '\0' && number == 0;
}

std::string readWhole(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> commandLineOf(const fs::path& process) {
    std::vector<std::string> argv;
    std::istringstream cmdline(readWhole(process / "cmdline"));
    for (std::string arg; std::getline(cmdline, arg, '\0');) argv.push_back(arg);
    return argv;
}

// The -o options of an sshfs command line, when it mounts `mountPoint` (a relative mount point
// is taken from the process's folder `cwd`).
std::optional<std::vector<std::string>> optionsWhenServing(const std::vector<std::string>& argv, const fs::path& cwd,
                                                           const fs::path& mountPoint) {
    bool serves = false;
    std::vector<std::string> options;
    for (size_t i = 1; i < argv.size(); ++i) {
        const std::string& arg = argv[i];
        if (arg.starts_with("-o")) {
            const std::string list = arg == "-o" && i + 1 < argv.size() ? argv[++i] : arg.substr(2);
            const auto more = splitOptions(list);
            options.insert(options.end(), more.begin(), more.end());
        } else if (!arg.starts_with("-") && (fs::path(arg).is_absolute() || !cwd.empty())) {
            std::error_code unresolved;
            const fs::path where = fs::path(arg).is_absolute() ? fs::path(arg) : cwd / arg;
            serves = serves || fs::weakly_canonical(where, unresolved) == mountPoint;
        }
    }
    return serves ? std::optional(options) : std::nullopt;
}

// The options of the sshfs process that serves `mountPoint`; none when it cannot be seen.
std::optional<std::vector<std::string>> sshfsOptionsFor(const fs::path& mountPoint) {
    std::error_code ec;
    for (fs::directory_iterator it("/proc", ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (!std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        const std::vector<std::string> argv = commandLineOf(it->path());
        if (argv.empty() || fs::path(argv[0]).filename() != "sshfs") continue;
        std::error_code unseen;  // another user's process keeps its folder to itself
        const fs::path cwd = fs::read_symlink(it->path() / "cwd", unseen);
        if (auto options = optionsWhenServing(argv, cwd, mountPoint)) return options;
    }
    return std::nullopt;
}

}  // namespace

std::vector<MountEntry> parseMountInfo(std::string_view text) {
    std::vector<MountEntry> mounts;
    std::istringstream lines{std::string(text)};
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::vector<std::string> fields{std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
        const auto dash = std::find(fields.begin(), fields.end(), "-");
        if (fields.size() < 6 || dash == fields.end() || fields.end() - dash < 4) continue;
        MountEntry entry{unescape(fields[4]), *(dash + 1), splitOptions(fields[5])};
        const auto superOptions = splitOptions(*(dash + 3));
        entry.options.insert(entry.options.end(), superOptions.begin(), superOptions.end());
        mounts.push_back(std::move(entry));
    }
    return mounts;
}

const MountEntry* mountHolding(const std::vector<MountEntry>& mounts, const fs::path& folder) {
    const MountEntry* best = nullptr;
    for (const MountEntry& m : mounts) {
        const auto [end, rest] = std::mismatch(m.mountPoint.begin(), m.mountPoint.end(), folder.begin(), folder.end());
        if (end != m.mountPoint.end()) continue;
        // The later of two mounts on one point hides the earlier.
        if (best == nullptr || std::distance(m.mountPoint.begin(), m.mountPoint.end()) >=
                                   std::distance(best->mountPoint.begin(), best->mountPoint.end()))
            best = &m;
    }
    return best;
}

std::string missingCacheOptions(const std::string& type, const std::vector<std::string>& options) {
    if (type == "fuse.sshfs") {
        const bool noDirCache = valueOf(options, "dir_cache") == "no" || valueOf(options, "cache") == "no";
        const auto negative = valueOf(options, "negative_timeout");
        const bool safe = noDirCache && isZero(valueOf(options, "attr_timeout")) &&
                          isZero(valueOf(options, "entry_timeout")) && (!negative || isZero(negative));
        return safe ? std::string() : "dir_cache=no,attr_timeout=0,entry_timeout=0,negative_timeout=0";
    }
    if (type == "cifs" || type == "smb3") {
        const bool noAttributeCache = isZero(valueOf(options, "actimeo")) ||
                                      (isZero(valueOf(options, "acregmax")) && isZero(valueOf(options, "acdirmax")));
        return valueOf(options, "cache") == "none" && noAttributeCache ? std::string() : "cache=none,actimeo=0";
    }
    return {};
}

std::string networkFolderCacheWarning(std::string_view networkPath) {
    std::error_code ec;
    const fs::path folder = fs::weakly_canonical(hostPath(networkPath), ec);
    if (ec) return {};
    const auto mounts = parseMountInfo(readWhole("/proc/self/mountinfo"));
    const MountEntry* mount = mountHolding(mounts, folder);
    if (mount == nullptr) return {};
    std::vector<std::string> options = mount->options;
    if (mount->type == "fuse.sshfs") {
        const auto client = sshfsOptionsFor(mount->mountPoint);
        if (!client) return {};  // its options cannot be seen from here
        options = *client;
    }
    const std::string missing = missingCacheOptions(mount->type, options);
    if (missing.empty()) return {};
    return "The network folder " + std::string(networkPath) +
           " is mounted with client caches that can hide other desktops' changes to the lock list, so two "
           "users could open one document at once. Mount it with the options " + missing + ".";
}

}  // namespace varkel::platform
