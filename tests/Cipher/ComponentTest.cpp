// The built library as a component: entry points, class factory, operations by slot.
#include "Component.h"
#include "TestSupport.h"
#include "VarkelSDK.h"

#include <cstring>
#include <dlfcn.h>
#include <thread>

namespace varkel {
namespace {

using platform::Guid;

struct Library {
    void* handle = ::dlopen(VARKEL_SDK_LIBRARY, RTLD_NOW);
    template <typename F>
    F entry(const char* name) const {
        return reinterpret_cast<F>(::dlsym(handle, name));
    }
};

using GetClassObject = int32_t (*)(const Guid*, const Guid*, void**);
using NoArguments = int32_t (*)();

class Component : public test::ScratchFolder {
protected:
    Library lib;
};

TEST_F(Component, FactoryHandsOutSdkObjectsOfTheRightClassOnly) {
    ASSERT_NE(lib.handle, nullptr) << ::dlerror();
    auto getClassObject = lib.entry<GetClassObject>("DllGetClassObject");
    auto canUnload = lib.entry<NoArguments>("DllCanUnloadNow");
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnload, nullptr);

    void* object = nullptr;
    EXPECT_EQ(getClassObject(&kSdkInterfaceId, &platform::kClassFactoryId, &object), platform::kClassNotAvailable);
    EXPECT_EQ(getClassObject(&kSdkClassId, &kSdkInterfaceId, &object), platform::kNoInterface);
    ASSERT_EQ(getClassObject(&kSdkClassId, &platform::kClassFactoryId, &object), platform::kOk);
    auto* factory = static_cast<platform::IClassFactory*>(object);
    void* sdk = nullptr;
    EXPECT_EQ(factory->CreateInstance(platform::kClassFactoryId, &sdk), platform::kNoInterface);
    EXPECT_EQ(canUnload(), platform::kOk);
    ASSERT_EQ(factory->CreateInstance(kSdkInterfaceId, &sdk), platform::kOk);
    EXPECT_EQ(canUnload(), platform::kFalse);
    static_cast<_SDK*>(sdk)->Release();
    EXPECT_EQ(canUnload(), platform::kOk);
    factory->Release();
}

TEST_F(Component, RegistrationMapsTheClassToTheLibraryFile) {
    auto reg = lib.entry<NoArguments>("DllRegisterServer");
    auto unreg = lib.entry<NoArguments>("DllUnregisterServer");
    ASSERT_EQ(reg(), platform::kOk);
    const auto registered = platform::registeredLibrary(kSdkClassId);
    ASSERT_TRUE(registered.has_value());
    EXPECT_TRUE(std::filesystem::equivalent(*registered, VARKEL_SDK_LIBRARY));
    ASSERT_EQ(unreg(), platform::kOk);
    EXPECT_FALSE(platform::registeredLibrary(kSdkClassId).has_value());
}

TEST_F(Component, OperationsStandInTheirSlots) {
    // Itanium C++ ABI: a pointer to a virtual member holds 1 + its offset in the table.
    for (int slot = 0; slot < kSdkOperationCount; ++slot) {
        const SdkOperation& op = kSdkOperations[slot];
        ptrdiff_t words[2];
        if (op.takesString()) {
            std::memcpy(words, &op.withString, sizeof words);
        } else {
            std::memcpy(words, &op.noArgument, sizeof words);
        }
        EXPECT_EQ(words[0], 1 + slot * static_cast<ptrdiff_t>(sizeof(void*))) << op.name;
    }
}

TEST_F(Component, CallsBySlotReachTheNamedOperations) {
    SdkObject sdk;
    auto** table = *reinterpret_cast<void***>(&*sdk);
    using WithString = int32_t (*)(_SDK*, std::string&);
    std::string key = "271828";
    ASSERT_EQ(reinterpret_cast<WithString>(table[29])(&*sdk, key), 0);  // VrkGenBinaryKeys
    EXPECT_EQ(key, "271828271828271828");
    std::string bySlot = "through the table";
    ASSERT_EQ(reinterpret_cast<WithString>(table[21])(&*sdk, bySlot), 0);  // VrkBEnc
    std::string byName = "through the table";
    ASSERT_EQ(sdk->VrkBEnc(byName), 0);
    EXPECT_EQ(bySlot, byName);
    EXPECT_NE(bySlot, "through the table");
}

TEST_F(Component, ModuleStateIsSharedWithinAThreadOnly) {
    std::string key = "161803398";
    std::string first = "shared state";
    {
        SdkObject setUp;
        ASSERT_EQ(setUp->VrkGenBinaryKeys(key), 0);
    }
    {
        SdkObject other;  // a later object of the same thread sees the master table
        ASSERT_EQ(other->VrkBEnc(first), 0);
    }
    std::string second = "shared state";
    std::thread([&] {
        SdkObject fresh;  // a new thread starts with an empty master table
        EXPECT_EQ(fresh->VrkBEnc(second), 0);
    }).join();
    EXPECT_NE(first, second);
    std::string again = "shared state";
    SdkObject third;
    ASSERT_EQ(third->VrkBEnc(again), 0);
    EXPECT_EQ(again, first);
}

TEST_F(Component, FailuresComeBackAsStatusNumbers) {
    SdkObject sdk;
    std::string text = "no key yet";
    EXPECT_EQ(sdk->VrkBEnc(text), 53);  // k2.bin missing
    std::string key = "12x";
    EXPECT_EQ(sdk->VrkGenBinaryKeys(key), 5);
}

}  // namespace
}  // namespace varkel
