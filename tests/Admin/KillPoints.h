// Killing a command at every step that reaches the disk: a library that dies inside a given
// call (leaving the call's output, or the file it wipes, half written), and the points to die at.
#pragma once

#include "Library.h"
#include "TestSupport.h"
#include "WinPath.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace varkel::admin::killtest {

// In the child: the real library, but the process dies in call number `killAt`.
class DyingLibrary : public Library {
public:
    explicit DyingLibrary(int killAt) : killAt_(killAt) {}
    int32_t VrkGenBinaryKeys(std::string& keystr) override { return call(keystr, &Library::VrkGenBinaryKeys); }
    int32_t VrkBinaryFileEnc(std::string& cmd) override { return call(cmd, &Library::VrkBinaryFileEnc); }
    int32_t VrkBinaryFileDec(std::string& cmd) override { return call(cmd, &Library::VrkBinaryFileDec); }
    int32_t VrkKillFile(std::string& cmd) override { return call(cmd, &Library::VrkKillFile, true); }

private:
    int32_t call(std::string& arg, int32_t (Library::*real)(std::string&), bool wipes = false) {
        namespace fs = std::filesystem;
        if (++calls_ != killAt_) return (Library().*real)(arg);
        const std::string target = wipes ? arg : outputOf(arg);
        if (!wipes) (Library().*real)(arg);
        if (!target.empty() && fs::exists(platform::hostPath(target))) {
            const fs::path host = platform::hostPath(target);
            const auto size = fs::file_size(host);
            if (wipes) {
                std::string bytes = varkel::test::readBytes(host);
                std::fill(bytes.begin(), bytes.begin() + static_cast<long>(size / 2), ' ');
                varkel::test::writeBytes(host, bytes);
            } else {
                fs::resize_file(host, size / 2);
            }
        }
        ::raise(SIGKILL);
        return 0;
    }
    // The second name of a file command ("in out" or "in \"out with blanks\"").
    static std::string outputOf(const std::string& cmd) {
        if (!cmd.empty() && cmd.back() == '"') {
            const size_t open = cmd.rfind('"', cmd.size() - 2);
            return cmd.substr(open + 1, cmd.size() - open - 2);
        }
        const size_t blank = cmd.rfind(' ');
        return blank == std::string::npos ? std::string() : cmd.substr(blank + 1);
    }
    int calls_ = 0;
    int killAt_;
};

struct KillPoint {
    int step = 0;         // die right after this step (1 = the first), or
    int libraryCall = 0;  // die inside this library call
    size_t workers = 0;   // the command's worker threads: with none, its steps come in a fixed order
    bool plainOnDisk = false;  // folder encryption: plaintext in the plain working copy, not in memory
};

inline void PrintTo(const KillPoint& point, std::ostream* out) {
    *out << (point.step > 0 ? "after step " : "in library call ") << (point.step > 0 ? point.step : point.libraryCall)
         << ", " << point.workers << " workers" << (point.plainOnDisk ? ", plaintext on disk" : "");
}

// Each step and each library call, with the steps in their fixed order and with workers.
inline std::vector<KillPoint> everyKillPoint(int steps, int libraryCalls) {
    std::vector<KillPoint> points;
    for (const size_t workers : {0, 3}) {
        for (int step = 1; step <= steps; ++step) points.push_back({.step = step, .workers = workers});
        for (int call = 1; call <= libraryCalls; ++call) points.push_back({.libraryCall = call, .workers = workers});
    }
    return points;
}

inline std::string killPointName(const KillPoint& point) {
    return (point.step > 0 ? "AfterStep" + std::to_string(point.step) : "InLibraryCall" + std::to_string(point.libraryCall)) +
           (point.workers > 0 ? "WithWorkers" : "") + (point.plainOnDisk ? "PlainOnDisk" : "");
}

// Runs `command` in a child process that dies at `point`; `command` gets the step hook to call
// after each step. True when the child died as planned.
inline bool runInDyingChild(const KillPoint& point, const std::function<void(std::function<void()>)>& command) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        DyingLibrary dying(point.libraryCall);
        Library::install(&dying);
        int steps = 0;
        command([&] {
            if (++steps == point.step) ::raise(SIGKILL);
        });
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

}  // namespace varkel::admin::killtest
