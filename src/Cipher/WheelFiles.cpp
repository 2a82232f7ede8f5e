// Wheel state files, the string operations and the file-present check.
#include "Alphabet.h"
#include "CipherStream.h"
#include "File.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

constexpr OpenOptions kSecret{.ownerOnly = true};

struct WheelFiles {
    const char* current;
    const char* initial;
    size_t size;
};

WheelFiles wheelFiles(int mode) {
    return mode == kTextMode ? WheelFiles{"k1.tcr", "k1.trs", kTextSize} : WheelFiles{"k1.bcr", "k1.brs", kBinarySize};
}

// Reads records 1..20; a state file shorter than 20 wheels is refused rather than read as
// blank wheels, which would encipher everything to one symbol. The 20 records go in one read
// (and in writeWheels one write): a string operation on a short string would otherwise spend
// most of its time on calls into the system.
std::array<std::string, kWheelCount + 1> readWheels(const char* file, size_t size) {
    const RecordFile wheels(file, size, kSecret);
    std::vector<std::string> records = wheels.getRecords(1, kWheelCount);
    std::array<std::string, kWheelCount + 1> result;
    for (int p = 1; p <= kWheelCount; ++p) {
        result[p] = std::move(records[p - 1]);
        if (result[p].size() != size) raise(kInputPastEnd, std::string(file) + " holds fewer than 20 wheels");
    }
    return result;
}

void writeWheels(RecordFile& file, const std::array<std::string, kWheelCount + 1>& wheels) {
    file.putRecords(1, std::vector<std::string>(wheels.begin() + 1, wheels.end()));
    file.close();
}

void getWheels(ModuleState& m, int mode) {
    const WheelFiles f = wheelFiles(mode);
    auto wheels = readWheels(f.current, f.size);
    for (int p = 1; p <= kWheelCount; ++p) m.Wheels[p] = std::move(wheels[p]);
}

void putWheels(ModuleState& m, int mode) {
    const WheelFiles f = wheelFiles(mode);
    RecordFile wheels(f.current, f.size, kSecret);
    writeWheels(wheels, m.Wheels);
}

void resetWheels(int mode) {
    const WheelFiles f = wheelFiles(mode);
    RecordFile current(f.current, f.size, kSecret);
    writeWheels(current, readWheels(f.initial, f.size));
}

// Runs `input` through the cipher and puts the result, as `shape` makes it, into `cmd`; then
// saves and resets the wheels, so that a failing reset leaves the result in `cmd` already. A
// symbol outside the alphabet fails with 5 and leaves `cmd` and the state files as they were.
void transformString(ModuleState& m, int mode, const std::string& text, bool decipher, std::string& cmd,
                     std::string (*shape)(std::string) = nullptr) {
    PrepareCipher(m, mode);
    LoadWheels(m, mode);
    std::string input = text;
    auto* bytes = reinterpret_cast<uint8_t*>(input.data());
    CipherStream stream(m);
    const size_t done = decipher ? stream.decipher(bytes, input.size()) : stream.encipher(bytes, input.size());
    stream.finish();
    if (done < input.size()) {
        m.CurrentSymbol.assign(1, text[done]);
        m.PassCounter = 0;
        raise(kInvalidArgument, "symbol outside the alphabet");
    }
    cmd = shape ? shape(std::move(input)) : std::move(input);
    SaveAndResetWheels(m, mode);
}

// End-of-file marks, line feeds and zero bytes are not enciphered and do not move the wheels.
std::string withoutUncipheredBytes(const std::string& text) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text)
        if (c != 26 && c != 10 && c != 0) kept += c;
    return kept;
}

// A deciphered carriage return gets its line feed back.
std::string withLineFeeds(std::string plain) {
    std::string lines;
    lines.reserve(plain.size() + plain.size() / 16);
    for (char c : plain) {
        lines += c;
        if (c == '\r') lines += '\n';
    }
    return lines;
}

}  // namespace

void PrepareCipher(ModuleState& m, int mode) {
    m.CipherMode = mode;
    ApiInit(m);
    const bool text = mode == kTextMode;
    m.AlphabetSize = static_cast<int16_t>(text ? kTextSize : kBinarySize);
    m.ActiveAlphabet = text ? m.TextAlphabet : m.BinaryAlphabet;
    TextReader k2(text ? "k2.txt" : "k2.bin");
    m.WheelCount = toInteger(k2.inputNumber());
    m.PassCount = toLong(k2.inputNumber());
}

void LoadWheels(ModuleState& m, int mode) { getWheels(m, mode); }

void CheckResetCopy(ModuleState&, int mode) {
    const WheelFiles f = wheelFiles(mode);
    readWheels(f.initial, f.size);
}

void SaveAndResetWheels(ModuleState& m, int mode) {
    putWheels(m, mode);
    resetWheels(mode);
}

void GetBinaryWheels(ModuleState& m) { getWheels(m, kBinaryMode); }
void PutBinaryWheels(ModuleState& m) { putWheels(m, kBinaryMode); }
void GetTextWheels(ModuleState& m) { getWheels(m, kTextMode); }
void PutTextWheels(ModuleState& m) { putWheels(m, kTextMode); }
void VrkBReset(ModuleState&) { resetWheels(kBinaryMode); }
void VrkTReset(ModuleState&) { resetWheels(kTextMode); }

void VrkBEnc(ModuleState& m, std::string& cmd) { transformString(m, kBinaryMode, cmd, false, cmd); }
void VrkBDec(ModuleState& m, std::string& cmd) { transformString(m, kBinaryMode, cmd, true, cmd); }
void VrkTEnc(ModuleState& m, std::string& cmd) {
    transformString(m, kTextMode, withoutUncipheredBytes(cmd), false, cmd);
}
void VrkTDec(ModuleState& m, std::string& cmd) { transformString(m, kTextMode, cmd, true, cmd, withLineFeeds); }

void VrkFileCheck(ModuleState& m) {
    m.CheckFileFound = 0;
    const uint64_t length = RecordFile(m.CheckFileName, 1).length();
    if (length > 0) {
        m.CheckFileFound = 1;
    } else {
        deleteFile(m.CheckFileName);
    }
}

}  // namespace varkel::cipher
