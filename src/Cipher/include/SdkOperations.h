// The 42 operations of interface _SDK, in the order of its dispatch table, which callers bind
// to. This list is the one place they are named: the interface, the table of operations by
// slot, the class SDK and its forwarding code are all made from it.
//
// VARKEL_SDK_OPERATIONS(NONE, STRING) expands NONE(name) for an operation without a parameter
// and STRING(name, parameter) for one that takes a string by reference.
#pragma once

// clang-format off
#define VARKEL_SDK_OPERATIONS(NONE, STRING) \
    NONE(ApiInit)                            \
    NONE(VrkDoDec)                           \
    NONE(VrkDoEnc)                           \
    NONE(ShiftWheels)                        \
    NONE(VrkDec)                             \
    NONE(VrkEnc)                             \
    NONE(ConvertKeys)                        \
    NONE(VrkFileCheck)                       \
    STRING(VrkBinaryFileDec, cmd)            \
    STRING(VrkBinaryFileEnc, cmd)            \
    STRING(VrkTextFileDec, cmd)              \
    STRING(VrkTextFileEnc, cmd)              \
    NONE(VrkBReset)                          \
    NONE(VrkTReset)                          \
    STRING(UpdateDecFile, uf)                \
    STRING(VrkBExpandFileEnc, cmd)           \
    STRING(VrkTExpandFileEnc, cmd)           \
    STRING(VrkTExpandFileDec, cmd)           \
    STRING(VrkBExpandFileDec, cmd)           \
    NONE(DecryptShotGun)                     \
    STRING(VrkBDec, cmd)                     \
    STRING(VrkBEnc, cmd)                     \
    STRING(VrkTDec, cmd)                     \
    STRING(VrkTEnc, cmd)                     \
    NONE(GetBinaryWheels)                    \
    NONE(PutBinaryWheels)                    \
    NONE(GetTextWheels)                      \
    NONE(PutTextWheels)                      \
    STRING(VrkGenTextKeys, cmd)              \
    STRING(VrkGenBinaryKeys, cmd)            \
    STRING(GenSetup, cmd)                    \
    NONE(GenSchemeParams)                    \
    STRING(VrkDeleteDecFiles, cmd)           \
    STRING(KillTheFile, kf)                  \
    STRING(VrkScrambleFile, cmd)             \
    NONE(DoFull)                             \
    NONE(DoDepth)                            \
    STRING(VrkXScrambleFile, cmd)            \
    STRING(VrkShutDown, cmd)                 \
    STRING(VrkKillFile, cmd)                 \
    NONE(MasterShift)                        \
    STRING(GenerateMsterKeys, keystr)
// clang-format on
