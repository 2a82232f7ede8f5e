// The application list "apps.dat" of the network folder: one line per defined application,
// its button text, ":" and its location. The console writes it; the console and the launchers
// read it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varkel::shared {

inline constexpr const char* kApplicationListFile = "apps.dat";
// Line k of the list is slot k; the launcher has a button for each of the first fourteen.
inline constexpr int kApplicationSlots = 14;

struct ApplicationLine {
    std::string buttonText;  // everything before the line's first ":"
    std::string location;    // everything after it; may itself hold ":" (a drive) and blanks
};

// Splits a line at its first ":". A line without one defines no application: nothing.
std::optional<ApplicationLine> splitApplicationLine(std::string_view line);

// The line that splits back into `application` when its button text holds no ":".
std::string joinApplicationLine(const ApplicationLine& application);

}  // namespace varkel::shared
