// The library's module state: one per thread, shared by every SDK object of that thread.
// Names and types follow the legacy module (Integer = int16_t, Long = int32_t); tables are
// indexed from 1 as the algorithms count.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace varkel::platform {
class File;
}

namespace varkel::cipher {

inline constexpr int kWheelCount = 20;
inline constexpr int kKeyScheduleSize = 12320;
inline constexpr int kMasterTableSize = 200;
inline constexpr int kExpansionTableSize = 20000;
inline constexpr int kRecordLength = 1000;
inline constexpr int kTextMode = 1;
inline constexpr int kBinaryMode = 2;

struct ModuleState {
    int32_t CipherMode = 0;
    std::string TextAlphabet;
    std::string BinaryAlphabet;
    std::string ActiveAlphabet;
    int16_t AlphabetSize = 0;
    std::array<std::string, kWheelCount + 1> Wheels;  // positions 1..20
    int16_t WheelCount = 0;
    int32_t PassCount = 0;
    int16_t PassCounter = 0;
    std::string CurrentSymbol;
    std::array<int16_t, kWheelCount + 1> WheelDirection{};
    std::array<int16_t, kWheelCount + 1> WheelParam{};
    std::array<int16_t, kWheelCount + 1> WheelStep{};
    std::vector<int16_t> KeySchedule = std::vector<int16_t>(kKeyScheduleSize + 1);
    int32_t KeyScheduleLength = 0;
    std::array<int32_t, kMasterTableSize + 1> MasterTable{};
    int32_t MasterIndex = 0;
    int32_t MasterCounter = 0;
    int32_t MasterThreshold = 0;
    std::string OutputBuffer;
    int32_t OutputRecordNo = 0;
    std::string TextFiller;
    std::string BinaryFiller;
    std::string CheckFileName;
    int32_t CheckFileFound = 0;

    // File processing.
    std::array<std::string, 13> CommandWords;  // words 1..12
    std::vector<int16_t> ExpansionNumbers = std::vector<int16_t>(kExpansionTableSize + 1);
    int32_t ScrambleBlocks = 0;
    int32_t ScrambleBlockSize = 0;
    int32_t ScrambleOffset = 0;
    std::string ScrambleFile;

    // Output channel 6: the file that a file operation has open for VrkEnc and VrkDec.
    platform::File* OutputChannel = nullptr;
};

// This thread's module state.
ModuleState& module();

}  // namespace varkel::cipher
