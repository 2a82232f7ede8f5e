// The console-wide variables through which the console's windows hand values to one another,
// and the names of the system files the console works on.
#pragma once

#include "SystemFileNames.h"

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

// The names of the system files, from the one list both programs share.
using shared::kAppsFile;
using shared::kFilesFile;
using shared::kFilesTransient;
using shared::kKeyFile;
using shared::kKeyListFile;
using shared::kKeyListFileGenerated;
using shared::kLockedFile;
using shared::kLockedTransient;
using shared::kNetworkFile;
using shared::kScratchSuffix;

}  // namespace varkel::admin
