#include "LockList.h"

#include "File.h"
#include "LockHolders.h"
#include "Process.h"
#include "SystemFileNames.h"
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

void removeQuietly(const std::string& file) {
    try {
        deleteFile(file);
    } catch (const VbError&) {
        // Gone already, or left to be judged again.
    }
}

}  // namespace

bool breakAbandonedGuard(const std::string& networkPath, const std::string& seen, const GuardTimes& times) {
    const std::string guard = networkPath + ListGuard::kFileName;
    const std::string breaker = guard + ListGuard::kBreakerSuffix;
    if (!createExclusive(breaker, guardOwnerLine(hostName(), currentProcessId(), Clock::now()))) {
        // Another breaker is at work, or one died at it: its guard is judged like the list's.
        const std::optional<std::string> held = readGuard(breaker);
        if (held && guardIsStale(*held, GuardAge(breaker).of(*held), times)) removeQuietly(breaker);
        return false;
    }
    // Breakers take turns, and only a breaker removes a guard that is not its own: the guard found
    // abandoned is still there, or it has gone and a new one may stand there, which stays.
    bool broken = false;
    try {
        if (readGuard(guard) == seen) {
            deleteFile(guard);
            broken = true;
        }
    } catch (const VbError&) {
    }
    removeQuietly(breaker);
    return broken;
}

namespace {

// Whether the list is empty or missing (a missing one is created empty).
bool listEmpty(const std::string& list) { return !File(list, OpenMode::Random).holdsData(); }

// The locks are taken whatever becomes of their records: a lock without one shows "holder unknown".
void recordHolders(const std::string& networkPath, const std::vector<std::string>& documents, int64_t now) {
    try {
        addHolders(networkPath, documents, now);
    } catch (const VbError&) {
    }
}

// Adds lines to a list that was found empty (written anew) or not (appended to).
void addToList(const std::string& list, bool wasEmpty, const std::vector<std::string>& lines) {
    if (wasEmpty)
        writeLines(list, lines);
    else
        appendLines(list, lines);
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
            if (!breakAbandonedGuard(networkPath, *held, times))
                std::this_thread::sleep_for(std::chrono::milliseconds(2 + jitter() % 15));
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
    return lockDocuments(networkPath, {document}).empty() ? LockResult::Granted : LockResult::InUse;
}

std::vector<std::string> lockDocuments(const std::string& networkPath, const std::vector<std::string>& documents) {
    if (documents.empty()) return {};
    const ListGuard guard(networkPath);
    const std::string list = networkPath + kLockedFile;
    const bool empty = listEmpty(list);
    const std::vector<std::string> listed = empty ? std::vector<std::string>{} : readLines(list);
    std::vector<std::string> inUse;
    std::vector<std::string> taken;
    for (const std::string& document : documents) {
        if (listsEntry(taken, document, Case::Ignored) || listsEntry(inUse, document, Case::Ignored)) continue;
        (listsEntry(listed, document, Case::Ignored) ? inUse : taken).push_back(document);
    }
    if (!inUse.empty() || taken.empty()) return inUse;
    addToList(list, empty, taken);
    recordHolders(networkPath, taken, guard.shareNow());
    return inUse;
}

void registerDocument(const std::string& networkPath, const std::string& document) {
    registerDocuments(networkPath, {document}, Case::Exact);
}

void registerDocuments(const std::string& networkPath, const std::vector<std::string>& documents, Case rule) {
    if (documents.empty()) return;
    const ListGuard guard(networkPath);
    const std::string list = networkPath + kFilesFile;
    const bool empty = listEmpty(list);
    std::vector<std::string> listed = empty ? std::vector<std::string>{} : readLines(list);
    std::vector<std::string> added;
    for (const std::string& document : documents) {
        if (listsEntry(listed, document, rule)) continue;
        listed.push_back(document);
        added.push_back(document);
    }
    if (!added.empty()) addToList(list, empty, added);
}

void unlockDocument(const std::string& networkPath, const std::string& document) {
    unlockDocuments(networkPath, {document});
}

void unlockDocuments(const std::string& networkPath, const std::vector<std::string>& documents) {
    if (documents.empty()) return;
    const ListGuard guard(networkPath);
    const std::string list = networkPath + kLockedFile;
    if (!fileExists(list)) return;
    rewriteWithout(list, networkPath + kUnlockTransient, documents, Replace::RenameOver);
    try {
        dropHolders(networkPath, documents);
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
