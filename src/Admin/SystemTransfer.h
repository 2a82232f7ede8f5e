// Transfer and restore of the system files: the current key, the current-files list, the
// application list and the key list are taken out of their places into a folder of the
// administrator's choice, and put back from there.
//
// A transfer destroys the originals, so it copies every file first, flushes each copy to disk
// and compares it byte for byte with its original; only when all copies are in place does it
// overwrite and delete anything. A restore puts each file in place in one rename, so a target
// is either the old file or the whole restored one.
#pragma once

#include <string>
#include <vector>

namespace varkel::admin {

inline constexpr const char* kDriveRefusedMessage = "Transfer must be on C: or greater drive";
inline constexpr const char* kNoKeyToTransferMessage = "The system cannot be transferred without a defined key.";
inline constexpr const char* kTransferredMessage =
    "System Files have been transferred.  The Interface Administrator will now terminate.";
inline constexpr const char* kTransferredIncompleteMessage =
    "System Files have been transferred, although the system is incomplete.  You should complete the system "
    "before you transfer again.  The Interface Administrator will now terminate.";
inline constexpr const char* kNoSystemFilesThereMessage = "The System Files do not exist at that location.";
inline constexpr const char* kRestoredIncompleteMessage =
    "The restored system is not yet complete and should be completed before the next transfer.  The system "
    "should contain the keys, applications and files used.";
// Copying the files onto themselves and then destroying them would lose them.
inline constexpr const char* kTransferIntoSystemFolderMessage =
    "The System Files cannot be transferred to the Network Path or to the working folder of the Interface "
    "Administrator.  Please select another folder.";
inline constexpr const char* kRestoreFromSystemFolderMessage =
    "The System Files cannot be restored from the Network Path or from the working folder of the Interface "
    "Administrator.  Please select the folder they were transferred to.";

// The folder picked for a transfer or restore, checked.
struct TransferFolder {
    enum class Verdict { Cancelled, Refused, Accepted };
    Verdict verdict = Verdict::Cancelled;
    std::string folder;  // when accepted: the picked folder with one final "\"
};

// Empty: cancelled. A folder whose first two characters, in lower case, sort before "c:"
// (drives a: and b:, "\\server\share" paths) is refused.
TransferFolder checkTransferFolder(const std::string& picked);

// One of the files that a transfer moves.
struct SystemFile {
    const char* name;     // its name in its place and in the transfer folder
    bool inNetworkFolder;  // otherwise in the console's working folder
    bool required;
    std::string overwrite;  // the pattern it is overwritten with before it is deleted
    bool ownerOnly = false;  // it holds keys: every copy is readable by its owner only
};

// key.dat, Files.dat, apps.dat and the key list, in the order the commands handle them.
const std::vector<SystemFile>& systemFiles();

// Where the file lives in the system: the network folder or the working folder.
std::string systemPath(const SystemFile& file);

// `count` lines of `width` "@" characters, each ended by CR LF.
std::string overwritePattern(int count, int width);

// Whether both files hold the same bytes.
bool sameContent(const std::string& a, const std::string& b);

// Overwrites a file in place (so that every name it has sees it) with `pattern`, repeated
// until the file's old length is covered, and flushes that to disk.
void overwriteInPlace(const std::string& path, const std::string& pattern);

// What the console shows and does after a transfer or a restore.
struct TransferOutcome {
    enum class Next { Stay, EndConsole, Reload };
    std::vector<std::string> messages;  // shown in order
    Next next = Next::Stay;
};

// Transfer to the folder handed back by the picker (`picked` as handed back).
TransferOutcome transferSystemFiles(const std::string& picked);
// Restore from the folder handed back by the picker.
TransferOutcome restoreSystemFiles(const std::string& picked);

}  // namespace varkel::admin
