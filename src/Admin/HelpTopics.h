// The help topics of the Help menu and the reading of a help text.
#pragma once

#include <string>
#include <vector>

namespace varkel::admin {

struct HelpTopic {
    const char* menuName;  // the menu item's object name
    const char* caption;   // its caption
    const char* file;      // the help text in the working folder
};

inline constexpr HelpTopic kHelpTopics[] = {
    {"hlphow", "&How to Setup", "howto.txt"},   {"hlpUtil", "&Applications", "util.txt"},
    {"hlpkey", "&Key Management", "keym.txt"},  {"hlplock", "&Locked Files", "lock.txt"},
    {"hlpnet", "&Network Path", "netw.txt"},    {"hlpsec", "&Security", "sec.txt"},
};

// Every line of a help text, exactly. A missing file is error 53, an empty one error 62.
std::vector<std::string> readHelpText(const std::string& file);

}  // namespace varkel::admin
