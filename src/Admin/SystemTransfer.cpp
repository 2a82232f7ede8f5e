#include "SystemTransfer.h"

#include "CodePage.h"
#include "Console.h"
#include "File.h"
#include "FolderEncryption.h"
#include "Replacement.h"
#include "SystemFiles.h"
#include "VbError.h"

#include <stdexcept>

namespace varkel::admin {
namespace {

struct Copy {
    std::string from;
    std::string to;
    const SystemFile* file;
};

// How far placing a set of copies got.
struct Placement {
    size_t placed = 0;         // copies renamed into place, in order
    const SystemFile* failed = nullptr;  // the file that could not be copied or placed
    std::string reason;
};

// Each copy is written beside its target under this name and renamed into place when whole,
// so a failure never leaves a half-written file under a system file's name. Folder
// encryption skips such leftovers too.
std::string scratchOf(const std::string& target) { return target + kScratchSuffix; }

std::string reasonOf(const std::exception& failure) {
    if (const auto* error = dynamic_cast<const platform::VbError*>(&failure)) return platform::vbErrorText(error->number());
    return failure.what();
}

void removeIfFile(const std::string& path) {
    if (platform::fileExists(path)) platform::deleteFile(path);
}

// Clean-up after a failure, which is reported already; a scratch file that cannot be removed
// either holds a copy or nothing, and the next run replaces it.
void removeQuietly(const std::string& path) noexcept {
    try {
        removeIfFile(path);
    } catch (...) {
    }
}

// A copy of a file that holds keys, readable by its owner only, on disk.
void copySecret(const std::string& from, const std::string& to) {
    const platform::File in(from, platform::OpenMode::Input);
    platform::File out(to, platform::OpenMode::Output, {.ownerOnly = true});
    std::string buffer(1 << 16, '\0');
    for (uint64_t offset = 0;;) {
        const size_t n = in.readAt(offset, buffer.data(), buffer.size());
        if (n == 0) break;
        out.append(std::string_view(buffer.data(), n));
        offset += n;
    }
    out.sync();
    out.close();
}

// Copies into the scratch file beside the target, on disk and compared with the original.
void stageCopy(const Copy& copy) {
    const std::string scratch = scratchOf(copy.to);
    removeIfFile(scratch);
    if (copy.file->ownerOnly)
        copySecret(copy.from, scratch);
    else
        platform::copyFile(copy.from, scratch, /*flushToDisk=*/true);
    if (!sameContent(copy.from, scratch)) throw std::runtime_error("the copy does not match the original");
}

// Copies every file beside its target first, then renames each into place. When a copy
// fails, no target has been touched; when a rename fails, the targets before it are in place
// and the others untouched. No scratch file stays behind either way.
Placement placeCopies(const std::vector<Copy>& copies) {
    Placement result;
    size_t current = 0;
    try {
        for (; current < copies.size(); ++current) stageCopy(copies[current]);
        for (current = 0; current < copies.size(); ++current) {
            const Copy& copy = copies[current];
            // A list of the share keeps the mode it has; the key list stays owner-only.
            if (copy.file->ownerOnly) {
                platform::replaceFile(scratchOf(copy.to), copy.to);
            } else {
                if (platform::fileExists(copy.to)) prepareReplacement(scratchOf(copy.to));
                replaceDocument(scratchOf(copy.to), copy.to);
            }
            result.placed = current + 1;
            platform::syncFolderOf(copies[current].to);
        }
    } catch (const std::exception& failure) {
        result.failed = copies[current].file;
        result.reason = reasonOf(failure);
        for (size_t i = result.placed; i < copies.size(); ++i) removeQuietly(scratchOf(copies[i].to));
    }
    return result;
}

std::string failureText(const Placement& placement) {
    return std::string(placement.failed->name) + ": " + placement.reason;
}

// The network folder and the working folder, compared as the host folders they are, so that
// another spelling, another drive letter or a link to them is recognised.
bool isSystemFolder(const std::string& folder) {
    const std::string network = NetworkPath.empty() ? "." : NetworkPath;
    return platform::sameFile(folder, network) || platform::sameFile(folder, ".");
}

// The file-present test for a file of the transfer folder, which may be a write-protected
// medium: a missing file is not created, and an empty one is deleted where that is possible.
bool presentInFolder(const std::string& path) {
    if (!platform::fileExists(path)) return false;
    if (platform::fileLength(path) > 0) return true;
    try {
        platform::deleteFile(path);
    } catch (const platform::VbError&) {
        // Read-only: the empty file counts as absent all the same.
    }
    return false;
}

// Overwrites and deletes one original; what went wrong, or nothing. A file whose overwrite
// failed is deleted all the same: its copy is safe, and a half-overwritten list is no use.
std::string destroyOriginal(const Copy& copy) {
    std::string problem;
    try {
        overwriteInPlace(copy.from, copy.file->overwrite);
    } catch (const std::exception& failure) {
        problem = "overwrite: " + reasonOf(failure);
    }
    try {
        platform::deleteFile(copy.from);
    } catch (const std::exception& failure) {
        problem += (problem.empty() ? "" : ", ") + std::string("delete: ") + reasonOf(failure);
    }
    return problem;
}

// Destroys each original; a failure does not stop the others. Those that failed, with why.
std::vector<std::string> destroyOriginals(const std::vector<Copy>& copies) {
    std::vector<std::string> failed;
    for (const Copy& copy : copies)
        if (const std::string problem = destroyOriginal(copy); !problem.empty())
            failed.push_back(copy.from + " (" + problem + ")");
    return failed;
}

std::string joined(const std::vector<std::string>& parts) {
    std::string text;
    for (const std::string& part : parts) text += (text.empty() ? "" : ", ") + part;
    return text;
}

}  // namespace

TransferFolder checkTransferFolder(const std::string& picked) {
    if (picked.empty()) return {};
    // Compared as character codes: "\\server\share" and "a:", "b:" sort before "c:".
    if (platform::toLower(picked.substr(0, 2)) < "c:") return {TransferFolder::Verdict::Refused, {}};
    return {TransferFolder::Verdict::Accepted, shared::withTrailingBackslash(picked)};
}

const std::vector<SystemFile>& systemFiles() {
    static const std::vector<SystemFile> files = {
        {kKeyFile, true, true, overwritePattern(1, 39)},
        {kFilesFile, true, false, overwritePattern(100, 74)},
        {kAppsFile, true, false, overwritePattern(100, 74)},
        {kKeyListFileGenerated, false, false, overwritePattern(100, 74), /*ownerOnly=*/true},
    };
    return files;
}

std::string systemPath(const SystemFile& file) { return file.inNetworkFolder ? networkFile(file.name) : file.name; }

std::string overwritePattern(int count, int width) {
    const std::string line = std::string(static_cast<size_t>(width), '@') + "\r\n";
    std::string pattern;
    for (int i = 0; i < count; ++i) pattern += line;
    return pattern;
}

bool sameContent(const std::string& a, const std::string& b) {
    const platform::File first(a, platform::OpenMode::Input);
    const platform::File second(b, platform::OpenMode::Input);
    if (first.length() != second.length()) return false;
    std::string bufferA(1 << 16, '\0'), bufferB(1 << 16, '\0');
    for (uint64_t offset = 0;;) {
        const size_t n = first.readAt(offset, bufferA.data(), bufferA.size());
        const size_t m = second.readAt(offset, bufferB.data(), bufferB.size());
        if (n != m || bufferA.compare(0, n, bufferB, 0, m) != 0) return false;
        if (n == 0) return true;
        offset += n;
    }
}

void overwriteInPlace(const std::string& path, const std::string& pattern) {
    if (pattern.empty()) platform::raise(platform::kInvalidArgument, "empty overwrite pattern");
    // Written over the old bytes rather than into an emptied file, so that the old content
    // itself is destroyed, all of it.
    platform::File file(path, platform::OpenMode::Random);
    const uint64_t length = file.length();
    uint64_t offset = 0;
    do {
        file.writeAt(offset, pattern);
        offset += pattern.size();
    } while (offset < length);
    file.sync();
    file.close();
}

TransferOutcome transferSystemFiles(const std::string& picked) {
    const TransferFolder check = checkTransferFolder(picked);
    if (check.verdict == TransferFolder::Verdict::Cancelled) return {};
    if (check.verdict == TransferFolder::Verdict::Refused) return {{kDriveRefusedMessage}};
    const std::string& folder = check.folder;
    if (isSystemFolder(folder)) return {{kTransferIntoSystemFolderMessage}};
    if (!shared::FilePresent(networkFile(kKeyFile))) return {{kNoKeyToTransferMessage}};

    std::vector<Copy> copies;
    bool incomplete = false;
    for (const SystemFile& file : systemFiles()) {
        const std::string from = systemPath(file);
        if (file.required || shared::FilePresent(from))
            copies.push_back({from, folder + file.name, &file});
        else
            incomplete = true;
    }
    const Placement placement = placeCopies(copies);
    if (placement.failed != nullptr)
        return {{"The System Files could not be copied to " + folder + " (" + failureText(placement) +
                 ").  Nothing has been overwritten or deleted."}};

    TransferOutcome outcome;
    outcome.next = TransferOutcome::Next::EndConsole;
    if (const auto leftBehind = destroyOriginals(copies); !leftBehind.empty())
        outcome.messages.push_back("These System Files could not be overwritten and deleted completely: " +
                                   joined(leftBehind) + ".  Their copies are in " + folder +
                                   "; please remove what is left of them by hand.");
    outcome.messages.push_back(incomplete ? kTransferredIncompleteMessage : kTransferredMessage);
    return outcome;
}

TransferOutcome restoreSystemFiles(const std::string& picked) {
    const TransferFolder check = checkTransferFolder(picked);
    if (check.verdict == TransferFolder::Verdict::Cancelled) return {};
    if (check.verdict == TransferFolder::Verdict::Refused) return {{kDriveRefusedMessage}};
    const std::string& folder = check.folder;
    if (isSystemFolder(folder)) return {{kRestoreFromSystemFolderMessage}};
    if (!presentInFolder(folder + kKeyFile)) return {{kNoSystemFilesThereMessage}};

    std::vector<Copy> copies;
    bool incomplete = false;
    for (const SystemFile& file : systemFiles()) {
        const std::string from = folder + file.name;
        if (file.required || presentInFolder(from))
            copies.push_back({from, systemPath(file), &file});
        else
            incomplete = true;
    }
    const Placement placement = placeCopies(copies);
    if (placement.failed != nullptr && placement.placed == 0)
        return {{"The System Files could not be restored from " + folder + " (" + failureText(placement) +
                 ").  Nothing has been changed."}};

    TransferOutcome outcome;
    outcome.next = TransferOutcome::Next::Reload;  // the console shows what is in place now, in every case
    std::vector<std::string> restored;
    for (size_t i = 0; i < placement.placed; ++i) restored.push_back(copies[i].file->name);
    if (placement.failed != nullptr) {
        outcome.messages.push_back("The System Files could not all be restored from " + folder + " (" +
                                   failureText(placement) + ").  Restored: " + joined(restored) + ".");
        return outcome;
    }
    outcome.messages.push_back("System Files have been restored from " + folder + ": " + joined(restored) + ".");
    if (incomplete) outcome.messages.push_back(kRestoredIncompleteMessage);
    return outcome;
}

}  // namespace varkel::admin
