#include "Library.h"

#include "VbError.h"

namespace varkel::user {
namespace {
LibraryObserver g_observer;
}

void callLibrary(_SDK& sdk, SdkCall op, std::string_view name, std::string& arg) {
    if (g_observer) g_observer(name, arg);
    const int32_t status = (sdk.*op)(arg);
    if (status != 0) platform::raise(status, std::string(name));
}

void setLibraryObserver(LibraryObserver observer) { g_observer = std::move(observer); }

void KeySetup::setUp(const std::string& key) {
    SdkObject sdk;
    std::string SdkArg = key;
    callLibrary(*sdk, &_SDK::VrkGenBinaryKeys, "VrkGenBinaryKeys", SdkArg);
    key_ = key;
}

std::string quotedName(const std::string& name) {
    return name.find(' ') == std::string::npos ? name : "\"" + name + "\"";
}

}  // namespace varkel::user
