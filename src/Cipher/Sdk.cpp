#include "Sdk.h"

#include "Operations.h"
#include "VbError.h"

#include <new>

namespace varkel::cipher {
namespace {

std::atomic<long> g_liveObjects{0};

constexpr int32_t kOutOfMemory = 7;
constexpr int32_t kInternalError = 51;

// Runs one operation on this thread's module state and turns its first failure into a status.
template <typename Operation>
int32_t status(Operation operation) {
    try {
        operation(module());
        return 0;
    } catch (const platform::VbError& e) {
        return e.number();
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternalError;
    }
}

}  // namespace

ModuleState& module() {
    thread_local ModuleState state;
    return state;
}

SDK::SDK() { ++g_liveObjects; }
SDK::~SDK() { --g_liveObjects; }
long SDK::liveObjects() { return g_liveObjects.load(); }

uint32_t SDK::AddRef() { return ++references_; }

uint32_t SDK::Release() {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

// Each operation runs its function of the same name on this thread's module state.
#define VARKEL_SDK_FORWARD(name) \
    int32_t SDK::name() { return status([](ModuleState& m) { cipher::name(m); }); }
#define VARKEL_SDK_FORWARD_STRING(name, parameter) \
    int32_t SDK::name(std::string& parameter) { return status([&](ModuleState& m) { cipher::name(m, parameter); }); }
VARKEL_SDK_OPERATIONS(VARKEL_SDK_FORWARD, VARKEL_SDK_FORWARD_STRING)
#undef VARKEL_SDK_FORWARD
#undef VARKEL_SDK_FORWARD_STRING

}  // namespace varkel::cipher
