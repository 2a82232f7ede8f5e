// The console's copies of one document in its working folder, through which the library works on
// a document read from the network folder: the plain copy and the encrypted copy. Both are
// owner-only; the plain copy is wiped with the library's secure deletion.
#pragma once

#include <string>
#include <string_view>

namespace varkel::admin {

inline constexpr const char* kPlainCopy = "dec.tmp";
inline constexpr const char* kCipherCopy = "tmp.enc";

// Writes `bytes` as the working copy `name`, replacing what it held.
void writeWorkingCopy(const char* name, std::string_view bytes);
// The whole working copy `name`, which is then deleted.
std::string takeWorkingCopy(const char* name);
// Removes both copies if they are there (a killed run may have left them): the plain one wiped.
void removeWorkingCopies();

}  // namespace varkel::admin
