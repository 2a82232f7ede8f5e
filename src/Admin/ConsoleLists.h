// The console's work on the lists of the network folder, for the main window's commands:
// the lock list (Add..., Delete, Lock All, Unlock All), the current-files list (Delete) and
// the current key (Set Key and its rule). Launchers change the lists at any time, so every
// change is made under the list guard.
#pragma once

#include "LockHolders.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace varkel::admin {

// Appends the picked document to the lock list under its canonical name.
void lockPickedFile(const std::string& document);

// Removes every line that is exactly one of `selected` from the list file, through its
// transient file. A list file that has gone (or emptied) since the last refresh holds nothing
// to remove.
void deleteEntries(const char* listFile, const char* transient, const std::vector<std::string>& selected);

// The lock list as the Locked Files list shows it: each entry with its holder and age, read
// under the list guard and judged on the network folder's clock. An absent (or empty, now
// deleted) list gives no entry.
std::vector<shared::LockView> lockedFiles();
// The question to ask before the locks among `entries` (all locks, when not given) are
// removed while their holders are alive; nothing when no such lock is among them.
std::optional<std::string> liveLocksQuestion(const std::optional<std::vector<std::string>>& entries);
inline constexpr const char* kUnlockConfirmTitle = "Unlock Confirm";

// Every registered document counts as in use. Without registered documents there is nothing
// to lock, and the locks users hold stay.
void lockAll();
// No document counts as in use, and no holder is left on record.
void unlockAll();

// The key in force: the first field of key.dat, empty when there is none.
std::string keyInForce();
// How many registered documents stay encrypted under the key in force when `key` is set: 0
// when no key is in force or it is `key` itself.
size_t documentsUnderOtherKey(const std::string& key);
std::string keyChangeQuestion(size_t registered);
// Stores `key` in key.dat and sets the library up with it.
void setKey(const std::string& key);

}  // namespace varkel::admin
