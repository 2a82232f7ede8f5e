// Who holds each lock of Locked.dat: the holder record "Holders.dat" beside it, changed only
// under the list guard. Locked.dat keeps its format (one path a line); a lock without a record
// (added by hand, or by a launcher that keeps none) has an unknown holder.
//
// One line per lock: "document",user,host,pid,began,beat — the document quoted as in the
// other lists, the times in seconds since 1970 on the network folder's own clock (the time
// the guard file was written), so that machines whose clocks disagree judge ages alike.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varkel::shared {

struct LockHolder {
    std::string document;
    std::string user;
    std::string host;
    int32_t pid = 0;
    int64_t began = 0;  // when the cycle took the lock
    int64_t beat = 0;   // the holder's last sign of life
};

// A waiting launcher shows it is alive this often; a holder silent for `stale` has gone.
struct HolderTimes {
    std::chrono::seconds heartbeat{30};
    std::chrono::seconds stale{180};
};

// The record's lines; a missing record or a line that cannot be read gives no holder.
std::vector<LockHolder> readHolders(const std::string& networkPath);
// The following change the record; the caller holds the list guard. `now` is the network
// folder's clock (ListGuard::shareNow).
void addHolders(const std::string& networkPath, const std::vector<std::string>& documents, int64_t now);
void dropHolders(const std::string& networkPath, const std::vector<std::string>& documents);
void dropAllHolders(const std::string& networkPath);
// Refreshes the heartbeat of this process's lock on `document`; false when it holds none.
bool beat(const std::string& networkPath, const std::string& document, int64_t now);

// A lock as the console shows it.
struct LockView {
    std::string document;
    std::optional<LockHolder> holder;
    bool stale = false;  // the holder's process is gone from this host, or it fell silent
    std::string text;    // "N:\Docs\a.txt — USER on HOST, 12 min"
};
// The holder of each entry of Locked.dat (the latest record of a document counts), judged at
// `now` on the network folder's clock.
std::vector<LockView> describeLocks(const std::vector<std::string>& entries, const std::vector<LockHolder>& holders,
                                    int64_t now, HolderTimes times = {});

}  // namespace varkel::shared
