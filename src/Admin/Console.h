// The console-wide variables through which the console's windows hand values to one another,
// and the names of the system files the console works on.
#pragma once

#include <cstdint>
#include <string>

namespace varkel::admin {

inline std::string NetworkPath;   // the network folder, ending in "\"; empty until network.dat is read
inline std::string SdkArg;        // the argument of every call into the cipher library
inline int16_t PathMode = 0;      // folder picker: 0 writes network.dat, 1 hands back PickedFolder
inline std::string PathCaption;   // caption of the folder picker
inline std::string PickedFolder;  // folder chosen in the folder picker; empty after Cancel
inline int16_t SelectMode = 0;    // file picker: 1 executable, 2 file to lock
inline std::string PickedFile;    // file chosen in the file picker; empty when none
inline std::string HelpFile;      // help text the help window shows
inline bool ConvertDone = false;  // set when a conversion to a new key has finished

// Back to the values the console starts with.
void resetConsoleVariables();

// A file of the network folder: the network path followed by the name.
inline std::string networkFile(const char* name) { return NetworkPath + name; }

// Working-folder files.
inline constexpr const char* kNetworkFile = "network.dat";
inline constexpr const char* kKeyListFile = "Keys.dat";
inline constexpr const char* kKeyListFileGenerated = "keys.dat";  // the generator's spelling; one file
// Network-folder files.
inline constexpr const char* kKeyFile = "key.dat";
inline constexpr const char* kFilesFile = "Files.dat";
inline constexpr const char* kLockedFile = "Locked.dat";
inline constexpr const char* kFilesTransient = "Files.tmp";
inline constexpr const char* kLockedTransient = "Locked.tmp";

}  // namespace varkel::admin
