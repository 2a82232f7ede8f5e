// What the launcher reads at start-up: the network folder, the application slots and the
// OS family that decides how a started application is watched.
#pragma once

#include "ApplicationList.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace varkel::user {

inline constexpr int kSlotCount = shared::kApplicationSlots;

struct Application {
    std::string name;      // the button text: everything before the line's first ":"
    std::string location;  // the command: everything after it
};
// Index k holds slot k (1 to 14); index 0 is never used. A slot without a definition is empty.
using Applications = std::array<std::optional<Application>, kSlotCount + 1>;

// Line k of network folder + "apps.dat" is slot k. A line without ":" defines no application,
// and lines after the fourteenth have no button, so both are passed over. A missing list is
// error 53, an empty one error 62.
Applications readApplications(const std::string& networkPath);

// The network folder from "network.dat" in the working folder, ending in "\". Nothing when the
// file is missing or empty; an empty file is removed again.
std::optional<std::string> readNetworkPath();

// "Win32", "Win9x", "WinNT" or empty, from the platform's version record.
std::string osFamily();

// The current key: the first field of network folder + "key.dat".
std::string readCurrentKey(const std::string& networkPath);

// The document path for a folder and a file name: folder, "\", name, with every "\\" made "\".
std::string documentPath(const std::string& folder, const std::string& name);

}  // namespace varkel::user
