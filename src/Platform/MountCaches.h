// Whether a folder lies on a network mount whose client caches hide another machine's change
// to a file for a while. The lists of a shared network folder are only safe where every
// change is seen at once, so the programs warn at start-up about such a mount.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

// One mount, as far as it matters here.
struct MountEntry {
    std::filesystem::path mountPoint;
    std::string type;                  // "cifs", "fuse.sshfs", ...
    std::vector<std::string> options;  // the mount's and its file system's options
};

// The mounts of a mountinfo text (/proc/self/mountinfo).
std::vector<MountEntry> parseMountInfo(std::string_view text);
// The mount that holds `folder` (the deepest mount point above it), or null.
const MountEntry* mountHolding(const std::vector<MountEntry>& mounts, const std::filesystem::path& folder);

// For a network client that caches names and attributes unless told not to: the options that
// make it show every change at once, when `clientOptions` lack one of them. Empty when
// nothing is missing or the type is no such client.
std::string missingCacheOptions(const std::string& type, const std::vector<std::string>& clientOptions);

// The start-up warning for the network folder (a Windows-style path) when its client caches
// can hide other machines' changes to the lists, naming the mount options that fix it; empty
// when there is nothing to warn about or the client's options cannot be seen.
std::string networkFolderCacheWarning(std::string_view networkPath);

}  // namespace varkel::platform
