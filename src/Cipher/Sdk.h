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

    int32_t ApiInit() override;
    int32_t VrkDoDec() override;
    int32_t VrkDoEnc() override;
    int32_t ShiftWheels() override;
    int32_t VrkDec() override;
    int32_t VrkEnc() override;
    int32_t ConvertKeys() override;
    int32_t VrkFileCheck() override;
    int32_t VrkBinaryFileDec(std::string& cmd) override;
    int32_t VrkBinaryFileEnc(std::string& cmd) override;
    int32_t VrkTextFileDec(std::string& cmd) override;
    int32_t VrkTextFileEnc(std::string& cmd) override;
    int32_t VrkBReset() override;
    int32_t VrkTReset() override;
    int32_t UpdateDecFile(std::string& uf) override;
    int32_t VrkBExpandFileEnc(std::string& cmd) override;
    int32_t VrkTExpandFileEnc(std::string& cmd) override;
    int32_t VrkTExpandFileDec(std::string& cmd) override;
    int32_t VrkBExpandFileDec(std::string& cmd) override;
    int32_t DecryptShotGun() override;
    int32_t VrkBDec(std::string& cmd) override;
    int32_t VrkBEnc(std::string& cmd) override;
    int32_t VrkTDec(std::string& cmd) override;
    int32_t VrkTEnc(std::string& cmd) override;
    int32_t GetBinaryWheels() override;
    int32_t PutBinaryWheels() override;
    int32_t GetTextWheels() override;
    int32_t PutTextWheels() override;
    int32_t VrkGenTextKeys(std::string& cmd) override;
    int32_t VrkGenBinaryKeys(std::string& cmd) override;
    int32_t GenSetup(std::string& cmd) override;
    int32_t GenSchemeParams() override;
    int32_t VrkDeleteDecFiles(std::string& cmd) override;
    int32_t KillTheFile(std::string& kf) override;
    int32_t VrkScrambleFile(std::string& cmd) override;
    int32_t DoFull() override;
    int32_t DoDepth() override;
    int32_t VrkXScrambleFile(std::string& cmd) override;
    int32_t VrkShutDown(std::string& cmd) override;
    int32_t VrkKillFile(std::string& cmd) override;
    int32_t MasterShift() override;
    int32_t GenerateMsterKeys(std::string& keystr) override;

    uint32_t AddRef() override;
    uint32_t Release() override;

    // Objects alive in the process, for DllCanUnloadNow.
    static long liveObjects();

private:
    ~SDK();
    std::atomic<uint32_t> references_{1};
};

}  // namespace varkel::cipher
