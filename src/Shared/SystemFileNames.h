// The names of the system's own files: the shared lists, their transient copies and guard,
// the journals, the library's scratch files and the programs' scratch copies. No command that
// works on a user's documents may encrypt, register or open one of them as a document.
#pragma once

#include "WinPath.h"

#include <optional>
#include <string_view>

namespace varkel::shared {

// Working-folder files of each program.
inline constexpr const char* kNetworkFile = "network.dat";
inline constexpr const char* kKeyListFile = "Keys.dat";
inline constexpr const char* kKeyListFileGenerated = "keys.dat";  // the generator's spelling; one file
// Network-folder files.
inline constexpr const char* kKeyFile = "key.dat";
inline constexpr const char* kFilesFile = "Files.dat";
inline constexpr const char* kLockedFile = "Locked.dat";
inline constexpr const char* kAppsFile = "apps.dat";
inline constexpr const char* kFilesTransient = "Files.tmp";
inline constexpr const char* kLockedTransient = "Locked.tmp";
inline constexpr const char* kUnlockTransient = "temp.dat";  // the launcher's copy while it unlocks
inline constexpr const char* kListGuardFile = "Locked.lck";
inline constexpr const char* kHoldersFile = "Holders.dat";  // who holds each lock of Locked.dat
// A file the system replaces is first written whole into this scratch file beside it.
inline constexpr const char* kScratchSuffix = platform::kScratchSuffix;
// Every record from which a later start finishes an interrupted command ends so.
inline constexpr const char* kJournalSuffix = ".jnl";

// Whether a bare file name (no folder) is one of the system's own files, compared without
// regard to letter case as the file system does.
bool isSystemFileName(std::string_view name);
// What such a file is for ("the list of encrypted documents"); nothing for any other name.
std::optional<std::string_view> systemFileRole(std::string_view name);

}  // namespace varkel::shared
