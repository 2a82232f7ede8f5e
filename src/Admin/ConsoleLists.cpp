#include "ConsoleLists.h"

#include "Console.h"
#include "File.h"
#include "Library.h"
#include "LockList.h"
#include "Replacement.h"
#include "SystemFiles.h"

namespace varkel::admin {

std::vector<std::string> lockPickedFile(const std::string& document) {
    {
        shared::ListGuard guard(NetworkPath);
        shared::appendLine(networkFile(kLockedFile), document);
    }
    return shared::readEntries(networkFile(kLockedFile));
}

void deleteEntries(const char* listFile, const char* transient, const std::vector<std::string>& selected) {
    const std::string list = networkFile(listFile);
    shared::ListGuard guard(NetworkPath);
    if (platform::fileExists(list) && platform::fileLength(list) > 0)
        shared::rewriteWithout(list, networkFile(transient), selected, shared::Replace::DeleteAndRename);
}

void lockAll() {
    shared::ListGuard guard(NetworkPath);
    if (shared::FilePresent(networkFile(kFilesFile))) platform::copyFile(networkFile(kFilesFile), networkFile(kLockedFile));
}

void unlockAll() {
    shared::ListGuard guard(NetworkPath);
    shared::writeLines(networkFile(kLockedFile), {});
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
