#include "CopyBack.h"

#include "File.h"
#include "Library.h"
#include "WinPath.h"

namespace varkel::user {
using namespace varkel::platform;

namespace {

// A name that is not taken yet: `base` + ".vrk", else with a number.
std::string freeName(const std::string& base) {
    std::string name = base + ".vrk";
    for (int n = 2; fileExists(name); ++n) name = base + "." + std::to_string(n) + ".vrk";
    return name;
}

void removeIfThere(const std::string& name) {
    if (fileExists(name)) deleteFile(name);
}

}  // namespace

void encryptCopy(_SDK& sdk, const std::string& copy) {
    removeIfThere(kEncryptedResult);
    std::string SdkArg = quotedName(copy) + " " + kEncryptedResult;
    callLibrary(sdk, &_SDK::VrkBinaryFileEnc, "VrkBinaryFileEnc", SdkArg);
}

bool writeBack(const std::string& document, bool newDocument) {
    if (newDocument && fileExists(document)) return false;
    const std::string beside = document + ".vrknew";
    copyFile(kEncryptedResult, beside, true);  // on the disk before it replaces the document
    replaceKeepingAttributes(beside, document);
    syncFolderOf(document);
    deleteFile(kEncryptedResult);
    return true;
}

std::string keepEncrypted(const std::string& where) {
    const std::string kept = freeName(where);
    copyFile(kEncryptedResult, kept, true);
    deleteFile(kEncryptedResult);
    return kept;
}

void wipe(_SDK& sdk, const std::string& name) {
    if (!fileExists(name)) return;
    try {
        std::string SdkArg = name;
        callLibrary(sdk, &_SDK::VrkKillFile, "VrkKillFile", SdkArg);
    } catch (const std::exception&) {
        deleteFile(name);
    }
    if (fileExists(name)) deleteFile(name);
}

}  // namespace varkel::user
