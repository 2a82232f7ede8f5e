// Process services for the launcher: starting a Windows-style command line, watching the
// started process, and the version record the launcher asks the platform for.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

// A command line split the way Windows splits it.
struct ParsedCommand {
    std::filesystem::path program;   // host path of the executable
    std::vector<std::string> arguments;
};

// The program is the quoted first part, or else the shortest run of blank-separated words
// that names an executable (so "C:\Program Files\Ed\ed arg" finds "C:\Program Files\Ed\ed").
// A program named without a folder is looked for in the working folder, then on the search
// path. The rest is split at blanks into arguments; a double-quoted part stays one argument,
// without its quotes. Throws VbError 53 when no prefix names an executable, 5 for an empty line.
ParsedCommand parseCommandLine(std::string_view commandLine);

// Starts the command line in the current (working) folder and returns the new process's id.
// Throws VbError 53 when there is no program to start.
int32_t startProcess(std::string_view commandLine);

// A process opened for watching; empty (false) when the process could not be opened.
class ProcessHandle {
public:
    ProcessHandle() = default;
    explicit ProcessHandle(int32_t pid);
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;
    ~ProcessHandle();

    explicit operator bool() const { return fd_ >= 0; }
    // True while the process runs; an ended process (also one not yet reaped) is not running.
    bool running() const;

private:
    int32_t pid_ = 0;
    int fd_ = -1;
};

// Whether the process `pid` runs. Ended children started by startProcess are reaped here.
bool processRunning(int32_t pid);

// The version record: the platform identifier 0 (Win32s), 1 (Windows 9x) or 2 (NT family).
struct OsVersionInfo {
    uint32_t size = 148;
    uint32_t majorVersion = 0;
    uint32_t minorVersion = 0;
    uint32_t buildNumber = 0;
    uint32_t platformId = 0;
};
inline constexpr uint32_t kPlatformWin32s = 0;
inline constexpr uint32_t kPlatformWindows = 1;
inline constexpr uint32_t kPlatformNt = 2;
// Fills `info`; false when its size field is not that of the record. This platform reports
// the NT family: processes are watched by their own handle.
bool getVersionEx(OsVersionInfo& info);

// Makes this process the one that orphaned descendants are handed to when their parent ends,
// so that a background child of a started program stays visible here (and is reaped here).
void adoptOrphans();

// Watches a started process and every process it starts, also those left running in the
// background after it ended.
class ProcessTree {
public:
    // Notes the children this process has now: they belong to no tree. Made before the root
    // starts, so that nothing the root leaves behind, however soon, is taken for one of them.
    ProcessTree();
    // Starts the root as startProcess does and returns its id.
    int32_t start(std::string_view commandLine);
    // The members that still run; ended members that are children of ours are reaped.
    std::vector<int32_t> running();

private:
    int32_t root_ = 0;
    std::vector<int32_t> foreign_;
};

// A process that has a file open.
struct FileHolder {
    int32_t pid = 0;
    std::string program;  // its command name
};
// The processes on this host (those this user may look into, not this one) that have the file
// `winPath` open. Nothing when the file does not exist.
std::vector<FileHolder> processesHoldingFile(std::string_view winPath);
// The command name of a process; empty when it has ended.
std::string processName(int32_t pid);

// Who this process is, for ownership marks in shared folders.
std::string hostName();
// The login name of the user this process runs for.
std::string userName();
int32_t currentProcessId();
// Whether `pid` names a live process on this host (not one that has ended and awaits reaping).
bool processAlive(int32_t pid);

}  // namespace varkel::platform
