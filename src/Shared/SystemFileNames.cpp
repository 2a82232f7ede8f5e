#include "SystemFileNames.h"

#include "CodePage.h"
#include "LockList.h"

#include <algorithm>
#include <iterator>

namespace varkel::shared {
namespace {

using platform::equalsIgnoreCase;

// Files whose whole name is fixed.
constexpr std::string_view kFixedNames[] = {
    // lists and their transient copies
    kNetworkFile, kKeyListFile, kKeyFile, kFilesFile, kLockedFile, kAppsFile, kFilesTransient, kLockedTransient,
    kUnlockTransient, kListGuardFile,
    // the console's scratch files and the journals' own scratch copies
    "files.tmp", "dec.tmp", "tmp.enc", "Convert.tmp", "Encrypt.tmp",
    // the library's decrypted-file list and its scratch files
    "Vrkdec.dat", "vrktemp.bin", "expand.dat", "conv.enc", "turnabot.dat",
    // the key set-up: k1 to k6 and the wheel state files
    "k1.tcr", "k1.trs", "k1.bcr", "k1.brs", "k1.txt", "k1.bin", "k2.txt", "k2.bin", "k3.txt", "k3.bin", "k4.txt",
    "k4.bin", "k5.txt", "k5.bin", "k6.dat"};

bool endsWith(std::string_view name, std::string_view suffix) {
    return name.size() > suffix.size() && equalsIgnoreCase(name.substr(name.size() - suffix.size()), suffix);
}


static_assert(std::string_view(ListGuard::kFileName) == kListGuardFile);

}  // namespace

bool isSystemFileName(std::string_view name) {
    const bool fixed = std::any_of(std::begin(kFixedNames), std::end(kFixedNames),
                                   [&](std::string_view n) { return equalsIgnoreCase(n, name); });
    return fixed || endsWith(name, kScratchSuffix) || endsWith(name, kJournalSuffix);
}

}  // namespace varkel::shared
