// The interface of the cipher library: class SDK behind interface _SDK.
//
// Every operation returns 0 on success or the run-time error number of its first failure.
// Callers bind to the interface by the order of its operations, so that order is fixed.
#pragma once

#include "Component.h"

#include <cstdint>
#include <string>

// The interface keeps the name callers bind to.
class _SDK {  // NOLINT(bugprone-reserved-identifier)
public:
    virtual int32_t ApiInit() = 0;                                // 1
    virtual int32_t VrkDoDec() = 0;                               // 2
    virtual int32_t VrkDoEnc() = 0;                               // 3
    virtual int32_t ShiftWheels() = 0;                            // 4
    virtual int32_t VrkDec() = 0;                                 // 5
    virtual int32_t VrkEnc() = 0;                                 // 6
    virtual int32_t ConvertKeys() = 0;                            // 7
    virtual int32_t VrkFileCheck() = 0;                           // 8
    virtual int32_t VrkBinaryFileDec(std::string& cmd) = 0;       // 9
    virtual int32_t VrkBinaryFileEnc(std::string& cmd) = 0;       // 10
    virtual int32_t VrkTextFileDec(std::string& cmd) = 0;         // 11
    virtual int32_t VrkTextFileEnc(std::string& cmd) = 0;         // 12
    virtual int32_t VrkBReset() = 0;                              // 13
    virtual int32_t VrkTReset() = 0;                              // 14
    virtual int32_t UpdateDecFile(std::string& uf) = 0;           // 15
    virtual int32_t VrkBExpandFileEnc(std::string& cmd) = 0;      // 16
    virtual int32_t VrkTExpandFileEnc(std::string& cmd) = 0;      // 17
    virtual int32_t VrkTExpandFileDec(std::string& cmd) = 0;      // 18
    virtual int32_t VrkBExpandFileDec(std::string& cmd) = 0;      // 19
    virtual int32_t DecryptShotGun() = 0;                         // 20
    virtual int32_t VrkBDec(std::string& cmd) = 0;                // 21
    virtual int32_t VrkBEnc(std::string& cmd) = 0;                // 22
    virtual int32_t VrkTDec(std::string& cmd) = 0;                // 23
    virtual int32_t VrkTEnc(std::string& cmd) = 0;                // 24
    virtual int32_t GetBinaryWheels() = 0;                        // 25
    virtual int32_t PutBinaryWheels() = 0;                        // 26
    virtual int32_t GetTextWheels() = 0;                          // 27
    virtual int32_t PutTextWheels() = 0;                          // 28
    virtual int32_t VrkGenTextKeys(std::string& cmd) = 0;         // 29
    virtual int32_t VrkGenBinaryKeys(std::string& cmd) = 0;       // 30
    virtual int32_t GenSetup(std::string& cmd) = 0;               // 31
    virtual int32_t GenSchemeParams() = 0;                        // 32
    virtual int32_t VrkDeleteDecFiles(std::string& cmd) = 0;      // 33
    virtual int32_t KillTheFile(std::string& kf) = 0;             // 34
    virtual int32_t VrkScrambleFile(std::string& cmd) = 0;        // 35
    virtual int32_t DoFull() = 0;                                 // 36
    virtual int32_t DoDepth() = 0;                                // 37
    virtual int32_t VrkXScrambleFile(std::string& cmd) = 0;       // 38
    virtual int32_t VrkShutDown(std::string& cmd) = 0;            // 39
    virtual int32_t VrkKillFile(std::string& cmd) = 0;            // 40
    virtual int32_t MasterShift() = 0;                            // 41
    virtual int32_t GenerateMsterKeys(std::string& keystr) = 0;   // 42

    // Lifetime, after the operations: the object goes away with its last Release.
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~_SDK() = default;
};

namespace varkel {

inline constexpr platform::Guid kSdkClassId = {0x6B1E3F20, 0x5A7C, 0x4D21, {0x9E, 0x44, 0x3C, 0x0A, 0x71, 0x5D, 0x20, 0x01}};
inline constexpr platform::Guid kSdkInterfaceId = {0x6B1E3F21, 0x5A7C, 0x4D21, {0x9E, 0x44, 0x3C, 0x0A, 0x71, 0x5D, 0x20, 0x01}};
inline constexpr const char* kSdkLibraryFile = "libVarkelSDK.so";

// One operation of the interface, by its slot.
struct SdkOperation {
    const char* name;
    int32_t (_SDK::*noArgument)();
    int32_t (_SDK::*withString)(std::string&);
    bool takesString() const { return withString != nullptr; }
};

inline constexpr int kSdkOperationCount = 42;
inline constexpr SdkOperation kSdkOperations[kSdkOperationCount] = {
    {"ApiInit", &_SDK::ApiInit, nullptr},
    {"VrkDoDec", &_SDK::VrkDoDec, nullptr},
    {"VrkDoEnc", &_SDK::VrkDoEnc, nullptr},
    {"ShiftWheels", &_SDK::ShiftWheels, nullptr},
    {"VrkDec", &_SDK::VrkDec, nullptr},
    {"VrkEnc", &_SDK::VrkEnc, nullptr},
    {"ConvertKeys", &_SDK::ConvertKeys, nullptr},
    {"VrkFileCheck", &_SDK::VrkFileCheck, nullptr},
    {"VrkBinaryFileDec", nullptr, &_SDK::VrkBinaryFileDec},
    {"VrkBinaryFileEnc", nullptr, &_SDK::VrkBinaryFileEnc},
    {"VrkTextFileDec", nullptr, &_SDK::VrkTextFileDec},
    {"VrkTextFileEnc", nullptr, &_SDK::VrkTextFileEnc},
    {"VrkBReset", &_SDK::VrkBReset, nullptr},
    {"VrkTReset", &_SDK::VrkTReset, nullptr},
    {"UpdateDecFile", nullptr, &_SDK::UpdateDecFile},
    {"VrkBExpandFileEnc", nullptr, &_SDK::VrkBExpandFileEnc},
    {"VrkTExpandFileEnc", nullptr, &_SDK::VrkTExpandFileEnc},
    {"VrkTExpandFileDec", nullptr, &_SDK::VrkTExpandFileDec},
    {"VrkBExpandFileDec", nullptr, &_SDK::VrkBExpandFileDec},
    {"DecryptShotGun", &_SDK::DecryptShotGun, nullptr},
    {"VrkBDec", nullptr, &_SDK::VrkBDec},
    {"VrkBEnc", nullptr, &_SDK::VrkBEnc},
    {"VrkTDec", nullptr, &_SDK::VrkTDec},
    {"VrkTEnc", nullptr, &_SDK::VrkTEnc},
    {"GetBinaryWheels", &_SDK::GetBinaryWheels, nullptr},
    {"PutBinaryWheels", &_SDK::PutBinaryWheels, nullptr},
    {"GetTextWheels", &_SDK::GetTextWheels, nullptr},
    {"PutTextWheels", &_SDK::PutTextWheels, nullptr},
    {"VrkGenTextKeys", nullptr, &_SDK::VrkGenTextKeys},
    {"VrkGenBinaryKeys", nullptr, &_SDK::VrkGenBinaryKeys},
    {"GenSetup", nullptr, &_SDK::GenSetup},
    {"GenSchemeParams", &_SDK::GenSchemeParams, nullptr},
    {"VrkDeleteDecFiles", nullptr, &_SDK::VrkDeleteDecFiles},
    {"KillTheFile", nullptr, &_SDK::KillTheFile},
    {"VrkScrambleFile", nullptr, &_SDK::VrkScrambleFile},
    {"DoFull", &_SDK::DoFull, nullptr},
    {"DoDepth", &_SDK::DoDepth, nullptr},
    {"VrkXScrambleFile", nullptr, &_SDK::VrkXScrambleFile},
    {"VrkShutDown", nullptr, &_SDK::VrkShutDown},
    {"VrkKillFile", nullptr, &_SDK::VrkKillFile},
    {"MasterShift", &_SDK::MasterShift, nullptr},
    {"GenerateMsterKeys", nullptr, &_SDK::GenerateMsterKeys},
};

// An SDK object made through the class factory of the loaded library; released on destruction.
class SdkObject {
public:
    SdkObject()
        : sdk_(static_cast<_SDK*>(platform::createComponent(kSdkClassId, kSdkInterfaceId, kSdkLibraryFile))) {}
    SdkObject(const SdkObject&) = delete;
    SdkObject& operator=(const SdkObject&) = delete;
    ~SdkObject() { sdk_->Release(); }
    _SDK* operator->() const { return sdk_; }
    _SDK& operator*() const { return *sdk_; }

private:
    _SDK* sdk_;
};

}  // namespace varkel

// Entry points of the component library.
extern "C" {
int32_t DllGetClassObject(const varkel::platform::Guid* classId, const varkel::platform::Guid* interfaceId,
                          void** object);
int32_t DllCanUnloadNow();
int32_t DllRegisterServer();
int32_t DllUnregisterServer();
}
