// The launcher's calls into the cipher library: every call goes through one SDK object made
// by the library's class factory, with the program-wide SdkArg as its string.
#pragma once

#include "VarkelSDK.h"

#include <functional>
#include <string>
#include <string_view>

namespace varkel::user {

using SdkCall = int32_t (_SDK::*)(std::string&);

// Makes the call; a status other than 0 is thrown as that run-time error (VbError).
void callLibrary(_SDK& sdk, SdkCall op, std::string_view name, std::string& arg);

// Sees every call the launcher makes, by operation name, before it is made.
using LibraryObserver = std::function<void(std::string_view name, const std::string& arg)>;
void setLibraryObserver(LibraryObserver observer);

// The key the library was set up with; set up again when key.dat names another one.
class KeySetup {
public:
    // VrkGenBinaryKeys with `key` on an SDK object of its own.
    void setUp(const std::string& key);
    const std::string& key() const { return key_; }

private:
    std::string key_;
};

// "name" when it holds no blank, else the name in double quotes, so that it stays one name.
std::string quotedName(const std::string& name);

}  // namespace varkel::user
