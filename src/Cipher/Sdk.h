// Class SDK: the interface's operations over this thread's module state.
#pragma once

#include "VarkelSDK.h"

#include <atomic>

namespace varkel::cipher {

class SDK final : public _SDK {
public:
    SDK();
    SDK(const SDK&) = delete;
    SDK& operator=(const SDK&) = delete;

#define VARKEL_SDK_OVERRIDE(name) int32_t name() override;
#define VARKEL_SDK_OVERRIDE_STRING(name, parameter) int32_t name(std::string& parameter) override;
    VARKEL_SDK_OPERATIONS(VARKEL_SDK_OVERRIDE, VARKEL_SDK_OVERRIDE_STRING)
#undef VARKEL_SDK_OVERRIDE
#undef VARKEL_SDK_OVERRIDE_STRING

    uint32_t AddRef() override;
    uint32_t Release() override;

    // Objects alive in the process, for DllCanUnloadNow.
    static long liveObjects();

private:
    ~SDK();
    std::atomic<uint32_t> references_{1};
};

}  // namespace varkel::cipher
