// The console's work on the lists of the network folder, for the main window's commands:
// the lock list (Add..., Delete, Lock All, Unlock All), the current-files list (Delete) and
// the current key (Set Key and its rule). Launchers change the lists at any time, so every
// change is made under the list guard.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace varkel::admin {

// Appends the picked document to the lock list; the entries of the lock list afterwards.
std::vector<std::string> lockPickedFile(const std::string& document);

// Removes every line that is exactly one of `selected` from the list file, through its
// transient file. A list file that has gone (or emptied) since the last refresh holds nothing
// to remove.
void deleteEntries(const char* listFile, const char* transient, const std::vector<std::string>& selected);

// Every registered document counts as in use. Without registered documents there is nothing
// to lock, and the locks users hold stay.
void lockAll();
// No document counts as in use.
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
