// The component entry points and the class factory.
#include "Component.h"
#include "Sdk.h"

#include <new>

#define VARKEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace varkel::cipher {
namespace {

using platform::Guid;

std::atomic<long> g_serverLocks{0};

class SdkFactory final : public platform::IClassFactory {
public:
    int32_t CreateInstance(const Guid& interfaceId, void** object) override {
        if (object == nullptr) return platform::kPointer;
        *object = nullptr;
        if (!(interfaceId == kSdkInterfaceId)) return platform::kNoInterface;
        auto* sdk = new (std::nothrow) SDK();
        if (sdk == nullptr) return platform::kOutOfMemory;
        *object = static_cast<_SDK*>(sdk);
        return platform::kOk;
    }
    int32_t LockServer(bool lock) override {
        lock ? ++g_serverLocks : --g_serverLocks;
        return platform::kOk;
    }
    // The factory is static and lives as long as the library.
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
};

SdkFactory g_factory;

}  // namespace
}  // namespace varkel::cipher

using namespace varkel;

VARKEL_EXPORT int32_t DllGetClassObject(const platform::Guid* classId, const platform::Guid* interfaceId,
                                        void** object) {
    if (object == nullptr || classId == nullptr || interfaceId == nullptr) return platform::kPointer;
    *object = nullptr;
    if (!(*classId == kSdkClassId)) return platform::kClassNotAvailable;
    if (!(*interfaceId == platform::kClassFactoryId)) return platform::kNoInterface;
    *object = static_cast<platform::IClassFactory*>(&cipher::g_factory);
    return platform::kOk;
}

VARKEL_EXPORT int32_t DllCanUnloadNow() {
    return cipher::SDK::liveObjects() == 0 && cipher::g_serverLocks == 0 ? platform::kOk : platform::kFalse;
}

VARKEL_EXPORT int32_t DllRegisterServer() {
    try {
        platform::registerComponent(kSdkClassId, platform::modulePathOf(reinterpret_cast<const void*>(&DllRegisterServer)));
        return platform::kOk;
    } catch (...) {
        return platform::kFail;
    }
}

VARKEL_EXPORT int32_t DllUnregisterServer() {
    try {
        platform::unregisterComponent(kSdkClassId);
        return platform::kOk;
    } catch (...) {
        return platform::kFail;
    }
}
