// The launchers' side of the lock list (Locked.dat) and the current-files list (Files.dat).
//
// Launchers on different machines change these lists in the shared network folder. Each
// change (the lock test and its append, the registration, the unlock through temp.dat) runs
// while the changer holds the list guard: the file "Locked.lck" beside the lists, made by an
// exclusive create and holding "host pid seconds" of its owner. A guard left behind by a
// launcher that crashed is broken when its process on this host is gone, or, for an owner on
// another machine, when it has stood longer than a few seconds on the network folder's own
// clock (the stamp of a file written there at that moment), so that machines whose clocks
// disagree never break each other's live guards; an owner that runs on this host is never
// broken. Breaking takes turns (breakAbandonedGuard). The lists themselves keep their
// formats, so every reader still reads them.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "SystemFiles.h"

namespace varkel::shared {

struct GuardTimes {
    std::chrono::seconds stale{10};     // a guard this old belongs to a crashed launcher
    std::chrono::milliseconds giveUp{30000};  // waiting longer than this is error 70
};

class ListGuard {
public:
    // `networkPath` ends in "\".
    explicit ListGuard(const std::string& networkPath, GuardTimes times = {});
    ~ListGuard();
    ListGuard(const ListGuard&) = delete;
    ListGuard& operator=(const ListGuard&) = delete;

    static constexpr const char* kFileName = "Locked.lck";
    // Beside it, the guard through which those who break an abandoned guard take turns.
    static constexpr const char* kBreakerSuffix = ".break";

    // The network folder's own clock, in seconds since 1970: when this guard was written there.
    int64_t shareNow() const { return shareNow_; }

private:
    std::string file_;
    std::string content_;
    int64_t shareNow_ = 0;
};

// The network folder's own clock now, in seconds since 1970: the stamp of a file written there
// this moment (beside the guard, and removed again). Nothing when the folder cannot be written.
std::optional<int64_t> networkFolderClock(const std::string& networkPath);

// Removes the list guard when it still holds `seen`, which was judged abandoned; true when it
// did. Breakers take turns through a guard of their own (Locked.lck.break, judged abandoned by
// the same rules), and nobody but a breaker removes a guard that is not their own: so the guard
// removed is the abandoned one, never a live one that took its place meanwhile (moving a guard
// aside to look at it would leave the name free for a moment, and two holders).
bool breakAbandonedGuard(const std::string& networkPath, const std::string& seen, const GuardTimes& times = {});

// The owner line a guard file holds, and whether a guard with that line, standing for
// `ageOnShare` on the network folder's clock, is abandoned. A line still being written (no
// line end yet) is judged by its age alone.
std::string guardOwnerLine(const std::string& host, int pid, std::chrono::system_clock::time_point when);
bool guardIsStale(const std::string& ownerLine, std::chrono::seconds ageOnShare, GuardTimes times);

enum class LockResult { Granted, InUse };

// Looks the document up in the lock list without regard to letter case; when it is not
// listed, appends it (or writes the list anew when it is empty or missing) and records this
// process as its holder.
LockResult lockDocument(const std::string& networkPath, const std::string& document);
// The same for many documents in one change of the list: either every one is locked, or none
// is and the result names those already in use. A document named twice (in any letter case)
// is locked once.
std::vector<std::string> lockDocuments(const std::string& networkPath, const std::vector<std::string>& documents);

// Appends the document to the current-files list unless it is listed exactly.
void registerDocument(const std::string& networkPath, const std::string& document);
// Appends, in one change of the list, each document that it does not list yet under `rule`.
void registerDocuments(const std::string& networkPath, const std::vector<std::string>& documents, Case rule);

// Removes every line that is exactly the document from the lock list, through temp.dat, and
// its holder. A lock list that no longer exists holds no lock to remove.
void unlockDocument(const std::string& networkPath, const std::string& document);
// The same for many documents in one change of the list.
void unlockDocuments(const std::string& networkPath, const std::vector<std::string>& documents);
// Refreshes this process's heartbeat in the holder record. A share that cannot be reached
// just now misses one beat; the wait goes on.
void showHolderAlive(const std::string& networkPath, const std::string& document);

}  // namespace varkel::shared
