// The interface of the cipher library: class SDK behind interface _SDK.
//
// Every operation returns 0 on success or the run-time error number of its first failure.
// Callers bind to the interface by the order of its operations, so that order is fixed.
#pragma once

#include "ComponentAbi.h"
#include "SdkOperations.h"

#include <cstdint>
#include <iterator>
#include <string>

// The interface keeps the name callers bind to.
class _SDK {  // NOLINT(bugprone-reserved-identifier)
public:
#define VARKEL_SDK_DECLARE(name) virtual int32_t name() = 0;
#define VARKEL_SDK_DECLARE_STRING(name, parameter) virtual int32_t name(std::string& parameter) = 0;
    VARKEL_SDK_OPERATIONS(VARKEL_SDK_DECLARE, VARKEL_SDK_DECLARE_STRING)
#undef VARKEL_SDK_DECLARE
#undef VARKEL_SDK_DECLARE_STRING

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

#define VARKEL_SDK_ENTRY(name) {#name, &_SDK::name, nullptr},
#define VARKEL_SDK_ENTRY_STRING(name, parameter) {#name, nullptr, &_SDK::name},
inline constexpr SdkOperation kSdkOperations[] = {VARKEL_SDK_OPERATIONS(VARKEL_SDK_ENTRY, VARKEL_SDK_ENTRY_STRING)};
#undef VARKEL_SDK_ENTRY
#undef VARKEL_SDK_ENTRY_STRING
inline constexpr int kSdkOperationCount = static_cast<int>(std::size(kSdkOperations));
static_assert(kSdkOperationCount == 42, "the interface has 42 operations");

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
