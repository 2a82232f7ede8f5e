// Encrypting the files of a folder and registering them in the current-files list.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace varkel::admin {

// A document is encrypted into this scratch file beside it, which then replaces it in one
// rename; a crash leaves either the whole plain document or the whole encrypted one.
inline constexpr const char* kScratchSuffix = ".vrk-scratch";

struct FolderPlan {
    std::vector<std::string> toEncrypt;  // full paths, in listing order
    std::vector<std::string> skipped;    // full paths already in the current-files list
};

// The ordinary files of `folder` (which ends in "\"), split into those to encrypt and those
// the current-files list already names (compared without regard to case). Leftover scratch
// files of an interrupted run are neither.
FolderPlan planFolder(const std::string& folder, const std::vector<std::string>& currentFiles);

// A path as a file command carries it: in double quotes when it holds a blank.
std::string commandName(const std::string& path);

// Encrypts one document in place under the key the library was last set up with, through
// its scratch file. Raises VbError when the library call fails; the document is unchanged then.
void encryptDocument(const std::string& path);

// Encrypts each planned document in turn, telling `progress` (position from 1, path) before each.
void encryptAll(const std::vector<std::string>& paths, const std::function<void(size_t, const std::string&)>& progress);

// Whether `list` holds `path`, compared without regard to case (as the file system does).
bool listedIn(const std::vector<std::string>& list, const std::string& path);

// Appends every path that `list` does not hold yet (compared without regard to case), each
// once; true when the list changed.
bool addNewEntries(std::vector<std::string>& list, const std::vector<std::string>& paths);

}  // namespace varkel::admin
