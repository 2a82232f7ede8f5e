// The application slots that frmDefine edits, and how they are read from and written to the
// application list "apps.dat" of the network folder.
#pragma once

#include "ApplicationList.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace varkel::admin {

struct ApplicationSlot {
    std::string location;
    std::string buttonText;

    // Only a slot with both fields goes into the list; the others are left out silently.
    bool complete() const { return !location.empty() && !buttonText.empty(); }
};

// Slot N (1 to 14) at index N - 1.
using ApplicationSlots = std::array<ApplicationSlot, shared::kApplicationSlots>;

// The slots as the list defines them: line k fills slot k, lines after the fourteenth are
// ignored. A line without ":" is kept whole as the location of its slot, which then lacks a
// button text: the launchers show no button for it, and saving leaves it out unless it is
// given one. An empty list is deleted and, like an absent one, gives fourteen empty slots.
ApplicationSlots readApplicationSlots(const std::string& networkPath);

// The list's lines: one for each complete slot, in slot order, written exactly as they stand.
std::vector<std::string> applicationLines(const ApplicationSlots& definitions);

// The first complete slot (1 to 14) whose button text holds ":". Every reader splits a line at
// its first ":", so such a slot would read back with its text cut short and the rest of it
// put in front of the location.
std::optional<int> slotThatWouldSplit(const ApplicationSlots& definitions);

// Replaces the list by the complete slots; no complete slot gives an empty file.
void writeApplicationSlots(const std::string& networkPath, const ApplicationSlots& definitions);

}  // namespace varkel::admin
