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

#define VARKEL_OP(name) \
    int32_t SDK::name() { return status([](ModuleState& m) { cipher::name(m); }); }
#define VARKEL_OP_STRING(name, arg) \
    int32_t SDK::name(std::string& arg) { return status([&](ModuleState& m) { cipher::name(m, arg); }); }

VARKEL_OP(ApiInit)
VARKEL_OP(VrkDoDec)
VARKEL_OP(VrkDoEnc)
VARKEL_OP(ShiftWheels)
VARKEL_OP(VrkDec)
VARKEL_OP(VrkEnc)
VARKEL_OP(ConvertKeys)
VARKEL_OP(VrkFileCheck)
VARKEL_OP_STRING(VrkBinaryFileDec, cmd)
VARKEL_OP_STRING(VrkBinaryFileEnc, cmd)
VARKEL_OP_STRING(VrkTextFileDec, cmd)
VARKEL_OP_STRING(VrkTextFileEnc, cmd)
VARKEL_OP(VrkBReset)
VARKEL_OP(VrkTReset)
VARKEL_OP_STRING(UpdateDecFile, uf)
VARKEL_OP_STRING(VrkBExpandFileEnc, cmd)
VARKEL_OP_STRING(VrkTExpandFileEnc, cmd)
VARKEL_OP_STRING(VrkTExpandFileDec, cmd)
VARKEL_OP_STRING(VrkBExpandFileDec, cmd)
VARKEL_OP(DecryptShotGun)
VARKEL_OP_STRING(VrkBDec, cmd)
VARKEL_OP_STRING(VrkBEnc, cmd)
VARKEL_OP_STRING(VrkTDec, cmd)
VARKEL_OP_STRING(VrkTEnc, cmd)
VARKEL_OP(GetBinaryWheels)
VARKEL_OP(PutBinaryWheels)
VARKEL_OP(GetTextWheels)
VARKEL_OP(PutTextWheels)
VARKEL_OP_STRING(VrkGenTextKeys, cmd)
VARKEL_OP_STRING(VrkGenBinaryKeys, cmd)
VARKEL_OP_STRING(GenSetup, cmd)
VARKEL_OP(GenSchemeParams)
VARKEL_OP_STRING(VrkDeleteDecFiles, cmd)
VARKEL_OP_STRING(KillTheFile, kf)
VARKEL_OP_STRING(VrkScrambleFile, cmd)
VARKEL_OP(DoFull)
VARKEL_OP(DoDepth)
VARKEL_OP_STRING(VrkXScrambleFile, cmd)
VARKEL_OP_STRING(VrkShutDown, cmd)
VARKEL_OP_STRING(VrkKillFile, cmd)
VARKEL_OP(MasterShift)
VARKEL_OP_STRING(GenerateMsterKeys, keystr)

}  // namespace varkel::cipher
