#include "LockList.h"

#include "File.h"
#include "LockHolders.h"
#include "Process.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"

#include <filesystem>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

namespace varkel::shared {
using namespace varkel::platform;
using Clock = std::chrono::system_clock;

namespace {

// The whole guard file, or nothing when it has gone meanwhile. A client that still knows the
// name of a guard another machine removed answers with a stale handle (error 75): gone too.
std::optional<std::string> readGuard(const std::string& file) {
    try {
        File f(file, OpenMode::Input);
        std::string text(512, '\0');  // read, not sized by a length a client may have cached
        text.resize(f.readAt(0, text.data(), text.size()));
        return text;
    } catch (const VbError& e) {
        if (e.number() == kFileNotFound || e.number() == kPathFileAccess) return std::nullopt;
        throw;
    }
}

int64_t secondsOf(Clock::time_point when) {
    return std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
}

// When the file was last written, on the clock of the file system that holds it.
std::optional<Clock::time_point> writtenAt(const std::string& file) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(hostPath(file), ec);
    if (ec) return std::nullopt;
    return std::chrono::time_point_cast<Clock::duration>(std::chrono::file_clock::to_sys(written));
}

}  // namespace

// The network folder's clock now: the stamp that a file written there this moment receives.
static std::optional<Clock::time_point> shareClockNow(const std::string& guardFile) {
    const std::string probe = guardFile + "." + hostName() + "." + std::to_string(currentProcessId()) + ".now";
    try {
        File f(probe, OpenMode::Output);
        f.writeAt(0, "now");
        f.close();
        const std::optional<Clock::time_point> now = writtenAt(probe);
        deleteFile(probe);
        return now;
    } catch (const VbError&) {
        return std::nullopt;
    }
}

std::optional<int64_t> networkFolderClock(const std::string& networkPath) {
    const std::optional<Clock::time_point> now = shareClockNow(networkPath + ListGuard::kFileName);
    if (!now) return std::nullopt;
    return secondsOf(*now);
}

namespace {

// How long the guard has stood, on the network folder's clock: measured anew every half
// second (or when the guard changes), and carried forward by this machine's steady clock in
// between, which measures elapsed time whatever its wall clock says.
class GuardAge {
public:
    explicit GuardAge(std::string file) : file_(std::move(file)) {}
    std::chrono::seconds of(const std::string& held) {
        const auto now = std::chrono::steady_clock::now();
        if (held != held_ || now - measuredAt_ > std::chrono::milliseconds(500)) {
            held_ = held;
            measuredAt_ = now;
            const auto written = writtenAt(file_);
            const auto shareNow = written ? shareClockNow(file_) : std::nullopt;
            // A stamp that cannot be read gives no age: such a guard is never taken for abandoned.
            age_ = written && shareNow ? *shareNow - *written : Clock::duration::zero();
        }
        return std::chrono::duration_cast<std::chrono::seconds>(age_ + (now - measuredAt_));
    }

private:
    std::string file_;
    std::string held_;
    std::chrono::steady_clock::time_point measuredAt_;
    Clock::duration age_{};
};

// Moves an abandoned guard aside and deletes it. A guard that was replaced by a live one
// between the look and the move is put back.
void breakGuard(const std::string& file, const std::string& seen) {
    const std::string aside = file + "." + hostName() + "." + std::to_string(currentProcessId());
    try {
        replaceFile(file, aside);
    } catch (const VbError&) {
        return;  // gone already: someone else broke or released it
    }
    if (readGuard(aside).value_or(std::string()) == seen) {
        deleteFile(aside);
        return;
    }
    try {
        renameFile(aside, file);
    } catch (const VbError&) {
        deleteFile(aside);
    }
}

// Whether the list is empty or missing (a missing one is created empty).
bool listEmpty(const std::string& list) { return !File(list, OpenMode::Random).holdsData(); }

// The lock is taken whatever becomes of its record: a lock without one shows "holder unknown".
void recordHolder(const std::string& networkPath, const std::string& document, int64_t now) {
    try {
        addHolder(networkPath, document, now);
    } catch (const VbError&) {
    }
}

}  // namespace

std::string guardOwnerLine(const std::string& host, int pid, Clock::time_point when) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(when.time_since_epoch()).count();
    return host + " " + std::to_string(pid) + " " + std::to_string(seconds) + "\r\n";
}

bool guardIsStale(const std::string& ownerLine, std::chrono::seconds ageOnShare, GuardTimes times) {
    std::istringstream in(ownerLine);
    std::string host;
    long long pid = 0;
    long long seconds = 0;
    const bool complete = ownerLine.find('\n') != std::string::npos && (in >> host >> pid >> seconds);
    if (complete && host == hostName() && pid != currentProcessId()) return !processAlive(static_cast<int32_t>(pid));
    return ageOnShare > times.stale;
}

ListGuard::ListGuard(const std::string& networkPath, GuardTimes times)
    : file_(networkPath + kFileName), content_(guardOwnerLine(hostName(), currentProcessId(), Clock::now())) {
    std::minstd_rand jitter(static_cast<unsigned>(currentProcessId()));
    const auto start = std::chrono::steady_clock::now();
    GuardAge age(file_);
    while (!createExclusive(file_, content_)) {
        const std::optional<std::string> held = readGuard(file_);
        const bool tooLong = std::chrono::steady_clock::now() - start > times.giveUp;
        if (!held) {
            if (tooLong) raise(kPermissionDenied, file_ + " cannot be made, nor read");
            // Released meanwhile, or a client's stale entry for a released guard.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        if (guardIsStale(*held, age.of(*held), times)) {
            breakGuard(file_, *held);
            continue;
        }
        if (tooLong) raise(kPermissionDenied, file_ + " is held by " + *held);
        std::this_thread::sleep_for(std::chrono::milliseconds(2 + jitter() % 15));
    }
    shareNow_ = secondsOf(writtenAt(file_).value_or(Clock::now()));
}

ListGuard::~ListGuard() {
    try {
        if (readGuard(file_) == content_) deleteFile(file_);
    } catch (const VbError&) {
        // A guard that cannot be removed goes stale and is broken by the next launcher.
    }
}

LockResult lockDocument(const std::string& networkPath, const std::string& document) {
    const ListGuard guard(networkPath);
    const std::string list = networkPath + "Locked.dat";
    if (listEmpty(list)) {
        writeLines(list, {document});
        recordHolder(networkPath, document, guard.shareNow());
        return LockResult::Granted;
    }
    if (containsLine(list, document, Case::Ignored)) return LockResult::InUse;
    appendLine(list, document);
    recordHolder(networkPath, document, guard.shareNow());
    return LockResult::Granted;
}

void registerDocument(const std::string& networkPath, const std::string& document) {
    const ListGuard guard(networkPath);
    const std::string list = networkPath + "Files.dat";
    if (listEmpty(list)) {
        writeLines(list, {document});
        return;
    }
    if (!containsLine(list, document, Case::Exact)) appendLine(list, document);
}

void unlockDocument(const std::string& networkPath, const std::string& document) {
    const ListGuard guard(networkPath);
    const std::string list = networkPath + "Locked.dat";
    if (!fileExists(list)) return;
    rewriteWithout(list, networkPath + "temp.dat", {document}, Replace::RenameOver);
    try {
        dropHolders(networkPath, {document});
    } catch (const VbError&) {
        // A record left behind names a lock that is no longer listed: it is never shown.
    }
}

void showHolderAlive(const std::string& networkPath, const std::string& document) {
    try {
        // Briefly: the window does not repaint meanwhile, and the next beat comes soon enough.
        const ListGuard guard(networkPath, GuardTimes{.giveUp = std::chrono::seconds(2)});
        beat(networkPath, document, guard.shareNow());
    } catch (const VbError&) {
        // A missed beat; a holder silent for minutes is only marked stale, never unlocked.
    }
}

}  // namespace varkel::shared
