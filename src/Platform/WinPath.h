// Windows-style paths ("N:\Docs\a.doc", "k1.bin", "\\server\share\x") on the host file system.
//
// Both "\" and "/" separate components. A name without a drive is relative to the current
// folder. Names match without regard to letter case: an existing name that differs only in
// case is found and used, a new name keeps the spelling given.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

// Scratch files are named by adding this to the name of the file they are written beside,
// as found on disk. A scratch name is therefore only ever spelt one way, and is not matched
// against the folder's names in another letter case.
inline constexpr const char* kScratchSuffix = ".vrk-scratch";

// Host path for a Windows-style path. Throws VbError 76 for an unmapped drive and 52 for an
// empty name or one that holds a NUL byte.
std::filesystem::path hostPath(std::string_view winPath);

// The host path of the names as spelt, without looking at the disk: the file hostPath finds
// when a file of exactly that spelling exists.
std::filesystem::path hostPathAsSpelt(std::string_view winPath);

// Windows-style name of a host path, through the drive map ("/srv/share/a" -> "N:\a").
std::string windowsPath(const std::filesystem::path& host);

// One name per file. The path is resolved on the host (symbolic links and ".." included; a
// file that does not exist yet keeps its own name under its resolved folder) and written
// back Windows-style with the names' letter case on disk. When it lies inside `folder`, it
// is written as `folder` followed by the part inside, so that every spelling of one file
// inside a network folder gives the same text.
struct CanonicalPath {
    std::string path;
    bool inside = false;  // the file lies inside `folder`
};
CanonicalPath canonicalPath(std::string_view winPath, std::string_view folder);

// The current folder as a Windows-style path ("C:\home\user").
std::string currentFolder();
void setCurrentFolder(std::string_view winPath);

// The part after the last "\" or "/" (the whole text when there is none).
std::string bareName(std::string_view winPath);

// Joins a folder and a name with one "\" and replaces every "\\" by "\".
std::string joinPath(std::string_view folder, std::string_view name);

}  // namespace varkel::platform
