// The console's calls into the cipher library. Each call creates an SDK object through the
// library's class factory, makes the call and releases the object. Tests install a Library
// of their own that watches the calls and passes them on.
#pragma once

#include <cstdint>
#include <string>

namespace varkel::admin {

class Library {
public:
    virtual ~Library() = default;
    virtual int32_t VrkGenBinaryKeys(std::string& keystr);
    virtual int32_t VrkBinaryFileEnc(std::string& cmd);
    virtual int32_t VrkBinaryFileDec(std::string& cmd);
    virtual int32_t VrkKillFile(std::string& cmd);
    virtual int32_t VrkShutDown(std::string& cmd);

    // The library in force; tests install theirs (nullptr restores the real one).
    static Library& current();
    static void install(Library* library);
};

// Calls the library and raises the run-time error of a failed call as a VbError.
void genBinaryKeys(std::string& keystr);
void binaryFileEnc(std::string& cmd);
void binaryFileDec(std::string& cmd);
void killFile(std::string& cmd);
void shutDown(std::string& cmd);

// The key the library is set up with by one command; set-ups happen only when the key changes.
class LibraryKey {
public:
    void use(const std::string& key);

private:
    std::string current_;
};

}  // namespace varkel::admin
