#include "SystemFileNames.h"

#include "CodePage.h"
#include "LockList.h"

#include <algorithm>
#include <iterator>

namespace varkel::shared {
namespace {

using platform::equalsIgnoreCase;

struct Named {
    std::string_view name;
    std::string_view role;
};

constexpr std::string_view kKeyFiles = "a key file of the library";
constexpr std::string_view kScratch = "a scratch file of the system";

// Files whose whole name is fixed.
constexpr Named kFixedNames[] = {
    // lists and their transient copies
    {kNetworkFile, "the file that names the network folder"},
    {kKeyListFile, "the list of keys"},
    {kKeyFile, "the current key"},
    {kFilesFile, "the list of encrypted documents"},
    {kLockedFile, "the list of documents in use"},
    {kAppsFile, "the list of applications"},
    {kFilesTransient, "a copy of the list of encrypted documents"},
    {kLockedTransient, "a copy of the list of documents in use"},
    {kUnlockTransient, "a copy of the list of documents in use"},
    {kListGuardFile, "the guard of the shared lists"},
    {kHoldersFile, "the record of who holds each document in use"},
    // the console's scratch files and the journals' own scratch copies
    {"files.tmp", kScratch}, {"dec.tmp", kScratch}, {"tmp.enc", kScratch}, {"Convert.tmp", kScratch},
    {"Encrypt.tmp", kScratch},
    // the library's decrypted-file list and its scratch files
    {"Vrkdec.dat", "the library's list of decrypted files"}, {"vrktemp.bin", kScratch}, {"expand.dat", kScratch},
    {"conv.enc", kScratch}, {"turnabot.dat", kScratch},
    // the key set-up: k1 to k6 and the wheel state files
    {"k1.tcr", kKeyFiles}, {"k1.trs", kKeyFiles}, {"k1.bcr", kKeyFiles}, {"k1.brs", kKeyFiles}, {"k1.txt", kKeyFiles},
    {"k1.bin", kKeyFiles}, {"k2.txt", kKeyFiles}, {"k2.bin", kKeyFiles}, {"k3.txt", kKeyFiles}, {"k3.bin", kKeyFiles},
    {"k4.txt", kKeyFiles}, {"k4.bin", kKeyFiles}, {"k5.txt", kKeyFiles}, {"k5.bin", kKeyFiles}, {"k6.dat", kKeyFiles}};

bool endsWith(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() && equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}


static_assert(std::string_view(ListGuard::kFileName) == kListGuardFile);

}  // namespace

bool isSystemFileName(std::string_view name) { return systemFileRole(name).has_value(); }

std::optional<std::string_view> systemFileRole(std::string_view name) {
    const auto fixed = std::find_if(std::begin(kFixedNames), std::end(kFixedNames),
                                    [&](const Named& n) { return equalsIgnoreCase(n.name, name); });
    if (fixed != std::end(kFixedNames)) return fixed->role;
    if (endsWith(name, kScratchSuffix)) return kScratch;
    if (endsWith(name, kJournalSuffix)) return "the record of an interrupted command";
    // Beside the guard: the breakers' guard, and the probes that read the folder's clock.
    const std::string_view aside = std::string_view(kListGuardFile);
    if (name.size() > aside.size() + 1 && equalsIgnoreCase(name.substr(0, aside.size()), aside) && name[aside.size()] == '.')
        return "the guard of the shared lists";
    return std::nullopt;
}

}  // namespace varkel::shared
