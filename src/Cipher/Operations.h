// The library's operations on the module state. Each raises a VbError at its first failure;
// the SDK class turns that into the operation's status.
#pragma once

#include "Module.h"

#include <string>

namespace varkel::cipher {

// Library object and cipher state.
void ApiInit(ModuleState& m);

// Wheel cipher core, step by step as the algorithm is written.
void VrkDoEnc(ModuleState& m);
void VrkDoDec(ModuleState& m);
void VrkEnc(ModuleState& m);
void VrkDec(ModuleState& m);
void ShiftWheels(ModuleState& m);
void MasterShift(ModuleState& m);

// Key set-up and master table.
void VrkGenBinaryKeys(ModuleState& m, std::string& cmd);
void VrkGenTextKeys(ModuleState& m, std::string& cmd);
void GenSetup(ModuleState& m, std::string& cmd);
void GenSchemeParams(ModuleState& m);
void GenerateMsterKeys(ModuleState& m, const std::string& keystr);

// Wheel state files and string operations.
void GetBinaryWheels(ModuleState& m);
void PutBinaryWheels(ModuleState& m);
void GetTextWheels(ModuleState& m);
void PutTextWheels(ModuleState& m);
void VrkBReset(ModuleState& m);
void VrkTReset(ModuleState& m);
void VrkBEnc(ModuleState& m, std::string& cmd);
void VrkBDec(ModuleState& m, std::string& cmd);
void VrkTEnc(ModuleState& m, std::string& cmd);
void VrkTDec(ModuleState& m, std::string& cmd);
void VrkFileCheck(ModuleState& m);

// Shared steps of the string and file operations.
// Sets the mode, runs ApiInit, chooses the alphabet and reads WheelCount and PassCount from k2.
void PrepareCipher(ModuleState& m, int mode);
// Loads the wheels of the mode.
void LoadWheels(ModuleState& m, int mode);
// Saves the wheels of the mode and resets the state file from its initial copy.
void SaveAndResetWheels(ModuleState& m, int mode);
// Checks, before a file changes, that the reset at the end will find its 20 initial wheels.
void CheckResetCopy(ModuleState& m, int mode);

}  // namespace varkel::cipher

namespace varkel::cipher {

// File processing.
void VrkBinaryFileEnc(ModuleState& m, std::string& cmd);
void VrkBinaryFileDec(ModuleState& m, std::string& cmd);
void UpdateDecFile(ModuleState& m, const std::string& uf);
void VrkTextFileEnc(ModuleState& m, std::string& cmd);
void VrkTextFileDec(ModuleState& m, std::string& cmd);
void VrkBExpandFileEnc(ModuleState& m, std::string& cmd);
void VrkTExpandFileEnc(ModuleState& m, std::string& cmd);
void VrkBExpandFileDec(ModuleState& m, std::string& cmd);
void VrkTExpandFileDec(ModuleState& m, std::string& cmd);
void DecryptShotGun(ModuleState& m);
void ConvertKeys(ModuleState& m);
void KillTheFile(ModuleState& m, const std::string& kf);
void VrkKillFile(ModuleState& m, std::string& cmd);
void VrkScrambleFile(ModuleState& m, std::string& cmd);
void DoFull(ModuleState& m);
void DoDepth(ModuleState& m);
void VrkXScrambleFile(ModuleState& m, std::string& cmd);
void VrkShutDown(ModuleState& m, std::string& cmd);
void VrkDeleteDecFiles(ModuleState& m, std::string& cmd);

}  // namespace varkel::cipher
