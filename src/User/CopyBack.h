// The steps that take a working copy back into its document, shared by the cycle and by the
// recovery of a cycle that was cut short.
#pragma once

#include "VarkelSDK.h"

#include <string>

namespace varkel::user {

inline constexpr const char* kEncryptedResult = "vrktemp.bin";

// Encrypts the working copy into "vrktemp.bin" (one left from before is removed first).
void encryptCopy(_SDK& sdk, const std::string& copy);

// Puts "vrktemp.bin" in the document's place: written beside the document, flushed, given the
// document's owner, group and mode, and renamed over it, so the document is whole at every
// moment. A new document takes no existing file's place: false then, and nothing moved.
bool writeBack(const std::string& document, bool newDocument);

// Keeps "vrktemp.bin" under a free name NAME.vrk beside `where` (a document path, or a name in
// the working folder) and returns the name it got.
std::string keepEncrypted(const std::string& where);

// Overwrites and deletes a plaintext file (through the library's secure delete, or a plain
// delete when that fails); nothing when it is not there.
void wipe(_SDK& sdk, const std::string& name);

}  // namespace varkel::user
