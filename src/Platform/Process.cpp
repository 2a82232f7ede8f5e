#include "Process.h"

#include "VbError.h"
#include "WinPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <poll.h>
#include <set>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <pwd.h>
#include <unistd.h>

extern char** environ;

namespace varkel::platform {
namespace fs = std::filesystem;
namespace {

std::mutex g_startedMutex;
std::set<int32_t> g_started;  // children not yet reaped

bool isExecutable(const fs::path& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(p.c_str(), X_OK) == 0;
}

bool hasFolder(std::string_view name) {
    return name.find_first_of("\\/") != std::string_view::npos || (name.size() >= 2 && name[1] == ':');
}

// The executable a program name stands for, or an empty path.
fs::path resolveProgram(std::string_view name) {
    if (name.empty()) return {};
    fs::path here;
    try {
        here = hostPath(name);
    } catch (const VbError&) {
        return {};
    }
    if (isExecutable(here)) return here;
    if (hasFolder(name)) return {};
    const char* path = std::getenv("PATH");
    std::string_view dirs = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    while (!dirs.empty()) {
        const size_t colon = dirs.find(':');
        const std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty()) {
            const fs::path candidate = fs::path(std::string(dir)) / std::string(name);
            if (isExecutable(candidate)) return candidate;
        }
        if (colon == std::string_view::npos) break;
        dirs.remove_prefix(colon + 1);
    }
    return {};
}

std::vector<std::string> splitArguments(std::string_view rest) {
    std::vector<std::string> args;
    std::string current;
    bool inWord = false;
    bool quoted = false;
    for (char c : rest) {
        if (c == '"') {
            quoted = !quoted;
            inWord = true;
        } else if (c == ' ' && !quoted) {
            if (inWord) args.push_back(std::move(current));
            current.clear();
            inWord = false;
        } else {
            current += c;
            inWord = true;
        }
    }
    if (inWord) args.push_back(std::move(current));
    return args;
}

bool startedHere(int32_t pid) {
    std::lock_guard lock(g_startedMutex);
    return g_started.contains(pid);
}

void forgetStarted(int32_t pid) {
    std::lock_guard lock(g_startedMutex);
    g_started.erase(pid);
}

// Reaps `pid` when it is an ended child of ours; true when it was reaped now.
bool reapIfEnded(int32_t pid) {
    {
        std::lock_guard lock(g_startedMutex);
        if (!g_started.contains(pid)) return false;
    }
    int status = 0;
    const pid_t got = ::waitpid(pid, &status, WNOHANG);
    if (got == pid || (got < 0 && errno == ECHILD)) {
        forgetStarted(pid);
        return true;
    }
    return false;
}

// Reaps every ended child that startProcess made, so none lingers as a zombie.
void reapStarted() {
    std::set<int32_t> started;
    {
        std::lock_guard lock(g_startedMutex);
        started = g_started;
    }
    for (int32_t pid : started) reapIfEnded(pid);
}

// What /proc/PID/stat says of a process.
struct ProcStat {
    int32_t pid = 0;
    int32_t parent = 0;
    char state = '?';
    bool ended() const { return state == 'Z' || state == 'X'; }
};

std::optional<ProcStat> readStat(int32_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) return std::nullopt;
    // The command name in parentheses may hold blanks and parentheses: parse after the last ")".
    const size_t close = text.rfind(')');
    if (close == std::string::npos || close + 2 >= text.size()) return std::nullopt;
    std::istringstream rest(text.substr(close + 2));
    ProcStat st;
    st.pid = pid;
    rest >> st.state >> st.parent;
    if (!rest) return std::nullopt;
    return st;
}

// The numeric entries of /proc.
std::vector<int32_t> allProcessIds() {
    std::vector<int32_t> pids;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
        pids.push_back(static_cast<int32_t>(std::stol(name)));
    }
    return pids;
}

std::vector<ProcStat> allProcesses() {
    std::vector<ProcStat> all;
    for (int32_t pid : allProcessIds())
        if (auto st = readStat(pid)) all.push_back(*st);
    return all;
}

std::vector<int32_t> childrenOfThisProcess() {
    const int32_t self = static_cast<int32_t>(::getpid());
    std::vector<int32_t> children;
    for (const ProcStat& p : allProcesses())
        if (p.parent == self) children.push_back(p.pid);
    return children;
}

// Orphans handed to this process that have ended since (of an earlier tree, say) are reaped,
// so that none lingers as a zombie.
void reapAdopted() {
    const int32_t self = static_cast<int32_t>(::getpid());
    for (const ProcStat& p : allProcesses()) {
        if (p.parent != self || !p.ended() || startedHere(p.pid)) continue;
        int status = 0;
        ::waitpid(p.pid, &status, WNOHANG);
    }
}

bool contains(const std::vector<int32_t>& pids, int32_t pid) {
    return std::find(pids.begin(), pids.end(), pid) != pids.end();
}

}  // namespace

void adoptOrphans() { ::prctl(PR_SET_CHILD_SUBREAPER, 1); }

ProcessTree::ProcessTree() {
    reapAdopted();
    foreign_ = childrenOfThisProcess();
}

int32_t ProcessTree::start(std::string_view commandLine) {
    root_ = startProcess(commandLine);
    return root_;
}

std::vector<int32_t> ProcessTree::running() {
    const int32_t self = static_cast<int32_t>(::getpid());
    const std::vector<ProcStat> all = allProcesses();
    // The root, children of ours that we neither had before nor started ourselves (orphans
    // handed to us), and everything below them.
    if (root_ == 0) return {};
    std::vector<int32_t> members = {root_};
    for (const ProcStat& p : all)
        if (p.parent == self && p.pid != root_ && !contains(foreign_, p.pid) && !startedHere(p.pid))
            members.push_back(p.pid);
    for (size_t i = 0; i < members.size(); ++i)
        for (const ProcStat& p : all)
            if (p.parent == members[i] && !contains(members, p.pid)) members.push_back(p.pid);
    std::vector<int32_t> alive;
    for (const ProcStat& p : all) {
        if (!contains(members, p.pid)) continue;
        if (!p.ended()) {
            alive.push_back(p.pid);
        } else if (p.parent == self) {
            int status = 0;
            if (::waitpid(p.pid, &status, WNOHANG) == p.pid) forgetStarted(p.pid);
        }
    }
    return alive;
}

std::vector<FileHolder> processesHoldingFile(std::string_view winPath) {
    struct stat target {};
    if (::stat(hostPath(winPath).c_str(), &target) != 0) return {};
    const int32_t self = static_cast<int32_t>(::getpid());
    std::vector<FileHolder> holders;
    for (int32_t pid : allProcessIds()) {
        if (pid == self) continue;
        std::error_code ec;
        for (const auto& fd : fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec)) {
            struct stat open {};
            if (::stat(fd.path().c_str(), &open) != 0) continue;
            if (open.st_dev != target.st_dev || open.st_ino != target.st_ino) continue;
            holders.push_back({pid, processName(pid)});
            break;
        }
    }
    return holders;
}

std::string processName(int32_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

ParsedCommand parseCommandLine(std::string_view line) {
    while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
    if (line.empty()) raise(kInvalidArgument, "empty command line");
    ParsedCommand parsed;
    std::string_view rest;
    if (line.front() == '"') {
        const size_t close = line.find('"', 1);
        const std::string_view name = line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
        parsed.program = resolveProgram(name);
        if (parsed.program.empty()) raise(kFileNotFound, std::string(name));
        rest = close == std::string_view::npos ? std::string_view() : line.substr(close + 1);
    } else {
        for (size_t end = 0; end != std::string_view::npos && parsed.program.empty();) {
            end = line.find(' ', end + 1);
            const std::string_view candidate = line.substr(0, end);
            if (candidate.back() == ' ') continue;
            parsed.program = resolveProgram(candidate);
            if (!parsed.program.empty()) rest = end == std::string_view::npos ? std::string_view() : line.substr(end);
        }
        if (parsed.program.empty()) raise(kFileNotFound, std::string(line));
    }
    parsed.arguments = splitArguments(rest);
    return parsed;
}

int32_t startProcess(std::string_view commandLine) {
    reapStarted();
    const ParsedCommand parsed = parseCommandLine(commandLine);
    std::vector<std::string> words;
    words.push_back(parsed.program.string());
    words.insert(words.end(), parsed.arguments.begin(), parsed.arguments.end());
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    std::lock_guard lock(g_startedMutex);
    const int err = ::posix_spawn(&pid, parsed.program.c_str(), nullptr, nullptr, argv.data(), environ);
    if (err != 0) raiseErrno(err, std::string(commandLine));
    g_started.insert(pid);
    return pid;
}

ProcessHandle::ProcessHandle(int32_t pid) : pid_(pid) {
    if (pid <= 0) return;
    fd_ = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd_ < 0) fd_ = -1;
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept : pid_(other.pid_), fd_(other.fd_) { other.fd_ = -1; }

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        pid_ = other.pid_;
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

ProcessHandle::~ProcessHandle() {
    if (fd_ >= 0) ::close(fd_);
}

bool ProcessHandle::running() const {
    if (fd_ < 0) return false;
    if (reapIfEnded(pid_)) return false;
    pollfd p{fd_, POLLIN, 0};
    const int ready = ::poll(&p, 1, 0);
    // The handle becomes readable when the process ends, reaped or not.
    return ready == 0;
}

bool processRunning(int32_t pid) {
    reapStarted();
    const ProcessHandle handle(pid);
    return handle && handle.running();
}

bool getVersionEx(OsVersionInfo& info) {
    if (info.size != 148) return false;
    info.majorVersion = 5;
    info.minorVersion = 0;
    info.buildNumber = 0;
    info.platformId = kPlatformNt;
    return true;
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
    return name;
}

std::string userName() {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        return found->pw_name;
    return std::to_string(::geteuid());
}

int32_t currentProcessId() { return static_cast<int32_t>(::getpid()); }

bool processAlive(int32_t pid) {
    if (pid <= 0) return false;
    const std::optional<ProcStat> st = readStat(pid);
    return st && !st->ended();
}

}  // namespace varkel::platform
