#include "ConsoleLists.h"

#include "Console.h"
#include "File.h"
#include "Library.h"
#include "LockList.h"
#include "Replacement.h"
#include "SystemFiles.h"
#include "WinPath.h"

#include <algorithm>

namespace varkel::admin {

void lockPickedFile(const std::string& document) {
    shared::ListGuard guard(NetworkPath);
    // Named as the launchers name it, so that a hand lock holds whatever spelling was picked.
    shared::appendLine(networkFile(kLockedFile), platform::canonicalPath(document, NetworkPath).path);
}

void deleteEntries(const char* listFile, const char* transient, const std::vector<std::string>& selected) {
    const std::string list = networkFile(listFile);
    shared::ListGuard guard(NetworkPath);
    if (platform::fileExists(list) && platform::fileLength(list) > 0)
        shared::rewriteWithout(list, networkFile(transient), selected, shared::Replace::DeleteAndRename);
    if (std::string_view(listFile) == kLockedFile) shared::dropHolders(NetworkPath, selected);
}

// Read without the guard, as the lists always were: the holder record is replaced in one
// rename, so a reader sees it whole.
std::vector<shared::LockView> lockedFiles() {
    const std::vector<std::string> entries = shared::presentEntries(networkFile(kLockedFile));
    if (entries.empty()) return {};
    const int64_t now = shared::networkFolderClock(NetworkPath).value_or(
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count());
    return shared::describeLocks(entries, shared::readHolders(NetworkPath), now);
}

std::optional<std::string> liveLocksQuestion(const std::optional<std::vector<std::string>>& entries) {
    std::string live;
    int count = 0;
    for (const shared::LockView& lock : lockedFiles()) {
        if (!lock.holder || lock.stale) continue;
        if (entries && std::find(entries->begin(), entries->end(), lock.document) == entries->end()) continue;
        live += "\r\n" + lock.text;
        ++count;
    }
    if (count == 0) return std::nullopt;
    return std::string(count == 1 ? "This document is" : "These documents are") +
           " open in a launcher that is still running:" + live + "\r\n\r\nUnlocking " +
           (count == 1 ? "it" : "them") + " lets a second user open " + (count == 1 ? "it" : "them") +
           " and one user's changes will be lost.  Unlock anyway?";
}

void lockAll() {
    shared::ListGuard guard(NetworkPath);
    if (shared::FilePresent(networkFile(kFilesFile))) platform::copyFile(networkFile(kFilesFile), networkFile(kLockedFile));
}

void unlockAll() {
    shared::ListGuard guard(NetworkPath);
    shared::writeLines(networkFile(kLockedFile), {});
    shared::dropAllHolders(NetworkPath);
}

std::string keyInForce() {
    const std::string keyFile = networkFile(kKeyFile);
    return shared::FilePresent(keyFile) ? shared::readFirstEntry(keyFile) : std::string();
}

size_t documentsUnderOtherKey(const std::string& key) {
    const std::string current = keyInForce();
    if (current.empty() || current == key) return 0;
    return shared::presentEntries(networkFile(kFilesFile)).size();
}

std::string keyChangeQuestion(size_t registered) {
    const bool one = registered == 1;
    return std::to_string(registered) + " encrypted document" + (one ? "" : "s") + " in Current Files " +
           (one ? "is" : "are") +
           " encrypted under the current key and cannot be opened under the new key until " +
           (one ? "it is" : "they are") +
           " converted with \"Convert Encrypted Files to New Key...\".  Are you sure you want to set the new key?";
}

void setKey(const std::string& key) {
    replaceListFile(networkFile(kKeyFile), {key});
    SdkArg = key;
    genBinaryKeys(SdkArg);
}

}  // namespace varkel::admin
