// The system's strings are single-byte Windows-1252; host names and Qt text are Unicode.
#pragma once

#include <string>
#include <string_view>

namespace varkel::platform {

std::string cp1252ToUtf8(std::string_view text);
// Characters without a Windows-1252 form become '?'.
std::string utf8ToCp1252(std::string_view text);

// Upper-to-lower case folding of one Windows-1252 byte, as the Windows file system compares names.
unsigned char foldCase(unsigned char c);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
std::string toLower(std::string_view text);

}  // namespace varkel::platform
