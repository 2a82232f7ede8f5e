// Finishing a document cycle that was cut short (the launcher crashed, was killed, or the
// machine went down) from the record it left in the working folder.
#pragma once

#include <optional>
#include <string>

namespace varkel::user {

// Run at start-up, with the key set up and before any cycle. Without a record: nothing, and
// no message. Otherwise a working copy that differs from what the cycle last decrypted or
// encrypted is encrypted back over the document, when the document is still as the cycle
// left it, or else kept encrypted beside it as NAME.vrk; then the working copy and
// "vrktemp.bin" are wiped, the lock is removed and the record goes. Returns the one message
// that tells the user what was recovered.
std::optional<std::string> recoverInterruptedCycle(const std::string& networkPath);

}  // namespace varkel::user
