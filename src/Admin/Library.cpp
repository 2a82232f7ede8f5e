#include "Library.h"

#include "Console.h"

#include "VarkelSDK.h"
#include "VbError.h"

namespace varkel::admin {
namespace {

Library g_realLibrary;
Library* g_library = nullptr;

void check(int32_t status, const char* operation) {
    if (status != 0) platform::raise(status, operation);
}

}  // namespace

int32_t Library::VrkGenBinaryKeys(std::string& keystr) {
    SdkObject sdk;
    return sdk->VrkGenBinaryKeys(keystr);
}

int32_t Library::VrkBinaryFileEnc(std::string& cmd) {
    SdkObject sdk;
    return sdk->VrkBinaryFileEnc(cmd);
}

int32_t Library::VrkBinaryFileDec(std::string& cmd) {
    SdkObject sdk;
    return sdk->VrkBinaryFileDec(cmd);
}

int32_t Library::VrkKillFile(std::string& cmd) {
    SdkObject sdk;
    return sdk->VrkKillFile(cmd);
}

int32_t Library::VrkShutDown(std::string& cmd) {
    SdkObject sdk;
    return sdk->VrkShutDown(cmd);
}

Library& Library::current() { return g_library != nullptr ? *g_library : g_realLibrary; }
void Library::install(Library* library) { g_library = library; }

void genBinaryKeys(std::string& keystr) { check(Library::current().VrkGenBinaryKeys(keystr), "VrkGenBinaryKeys"); }
void binaryFileEnc(std::string& cmd) { check(Library::current().VrkBinaryFileEnc(cmd), "VrkBinaryFileEnc"); }
void binaryFileDec(std::string& cmd) { check(Library::current().VrkBinaryFileDec(cmd), "VrkBinaryFileDec"); }
void killFile(std::string& cmd) { check(Library::current().VrkKillFile(cmd), "VrkKillFile"); }
void shutDown(std::string& cmd) { check(Library::current().VrkShutDown(cmd), "VrkShutDown"); }

void LibraryKey::use(const std::string& key) {
    if (key == current_) return;
    current_.clear();
    SdkArg = key;
    genBinaryKeys(SdkArg);
    current_ = key;
}

}  // namespace varkel::admin
