// The cipher step exactly as written: wheels as strings, positions found by search.
// The bulk operations use WheelEngine instead; these serve single calls and odd states.
#include "Alphabet.h"
#include "File.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"

#include <algorithm>
#include <cstring>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

// 1-based position of the first occurrence of `x` in `s`; 0 when absent.
int32_t position(const std::string& s, const std::string& x) {
    if (s.empty()) return 0;
    if (x.empty()) return 1;
    const size_t at = s.find(x);
    return at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
}

// Symbol `i` of `s` (1-based): an empty string past the end; position 0 is an invalid argument.
std::string symbolAt(const std::string& s, int32_t i) {
    if (i < 1) raise(kInvalidArgument, "symbol position 0");
    return i > static_cast<int32_t>(s.size()) ? std::string() : s.substr(static_cast<size_t>(i - 1), 1);
}

std::string leftPart(const std::string& s, int32_t k) {
    if (k < 0) raise(kInvalidArgument, "negative length");
    return s.substr(0, std::min<size_t>(static_cast<size_t>(k), s.size()));
}

std::string rightPart(const std::string& s, int32_t k) {
    if (k < 0) raise(kInvalidArgument, "negative length");
    const size_t n = std::min<size_t>(static_cast<size_t>(k), s.size());
    return s.substr(s.size() - n);
}

void encipherPass(ModuleState& m) {
    for (int p = 1; p <= kWheelCount; ++p)
        m.CurrentSymbol = symbolAt(m.Wheels[p], position(m.ActiveAlphabet, m.CurrentSymbol));
}

void decipherPass(ModuleState& m) {
    for (int p = kWheelCount; p >= 1; --p)
        m.CurrentSymbol = symbolAt(m.ActiveAlphabet, position(m.Wheels[p], m.CurrentSymbol));
}

template <typename Pass>
void runPasses(ModuleState& m, Pass pass) {
    do {
        pass(m);
        m.PassCounter = addInteger(m.PassCounter, 1);
    } while (m.PassCounter != m.PassCount);
}

void appendOutput(ModuleState& m, const std::string& symbols) {
    m.OutputBuffer += symbols;
    if (m.OutputBuffer.size() != kRecordLength) return;
    m.OutputRecordNo = addLong(m.OutputRecordNo, 1);
    if (m.OutputChannel == nullptr) raise(kBadFileName, "output channel not open");
    m.OutputChannel->writeAt(static_cast<uint64_t>(m.OutputRecordNo - 1) * kRecordLength, m.OutputBuffer);
    m.OutputBuffer.clear();
}

}  // namespace

void ApiInit(ModuleState& m) {
    m.TextAlphabet = textAlphabet();
    m.BinaryAlphabet = binaryAlphabet();
    m.TextFiller.assign(kTextSize, '@');
    m.BinaryFiller.assign(kBinarySize, '@');

    static constexpr int16_t kDefaultDirection[kWheelCount] = {0, 1, 1, 0, 1, 0, 0, 1, 1, 1,
                                                               0, 0, 1, 1, 0, 0, 1, 0, 1, 0};
    static constexpr int16_t kDefaultParam[kWheelCount] = {2, 2, 5, 3, 4, 7, 3, 2, 2, 2,
                                                           2, 2, 2, 2, 2, 2, 2, 2, 2, 2};
    const bool text = m.CipherMode == kTextMode;
    {
        RecordFile scheme(text ? "k3.txt" : "k3.bin", 100, {.ownerOnly = true});
        if (scheme.length() > 0) {
            std::string record = scheme.get(1);
            record.resize(100, '\0');
            for (int p = 1; p <= kWheelCount; ++p) {
                m.WheelDirection[p] = record[p - 1] == 'D' ? 0 : 1;
                float value;
                std::memcpy(&value, record.data() + 20 + 4 * (p - 1), sizeof value);
                m.WheelParam[p] = toInteger(value);
            }
        } else {
            for (int p = 1; p <= kWheelCount; ++p) {
                m.WheelDirection[p] = kDefaultDirection[p - 1];
                m.WheelParam[p] = kDefaultParam[p - 1];
            }
        }
    }
    const char* stepsFile = text ? "k4.txt" : "k4.bin";
    const bool haveSteps = RecordFile(stepsFile, 1, {.ownerOnly = true}).length() > 0;
    if (haveSteps) {
        TextReader steps(stepsFile);
        for (int p = 1; p <= kWheelCount; ++p) {
            const int16_t step = toInteger(steps.inputNumber());
            m.WheelStep[p] = step < 1 ? 1 : step;
        }
    } else {
        for (int p = 1; p <= kWheelCount; ++p) m.WheelStep[p] = 1;
    }
    m.MasterThreshold = m.MasterTable[1];
    m.MasterIndex = 1;
    m.MasterCounter = 0;
}

void VrkDoEnc(ModuleState& m) {
    runPasses(m, encipherPass);
    ShiftWheels(m);
}

void VrkDoDec(ModuleState& m) {
    runPasses(m, decipherPass);
    ShiftWheels(m);
}

void VrkEnc(ModuleState& m) {
    runPasses(m, encipherPass);
    appendOutput(m, m.CurrentSymbol);
    ShiftWheels(m);
}

void VrkDec(ModuleState& m) {
    runPasses(m, decipherPass);
    appendOutput(m, m.CurrentSymbol);
    if (m.CurrentSymbol == "\r" && m.ActiveAlphabet.size() == kTextSize) appendOutput(m, "\n");
    ShiftWheels(m);
}

void ShiftWheels(ModuleState& m) {
    const int16_t n = m.AlphabetSize;
    for (int p = 1; p <= kWheelCount; ++p) {
        const int16_t s = m.WheelStep[p];
        const std::string& w = m.Wheels[p];
        const int16_t rest = addInteger(n, -s);
        m.Wheels[p] = m.WheelDirection[p] != 0 ? rightPart(w, rest) + leftPart(w, s)
                                               : rightPart(w, s) + leftPart(w, rest);
    }
    MasterShift(m);
}

void MasterShift(ModuleState& m) {
    m.MasterCounter = addLong(m.MasterCounter, 1);
    if (m.MasterCounter < m.MasterThreshold) return;
    m.MasterCounter = 0;
    std::string first = std::move(m.Wheels[1]);
    for (int p = 1; p < kWheelCount; ++p) m.Wheels[p] = std::move(m.Wheels[p + 1]);
    m.Wheels[kWheelCount] = std::move(first);
    m.MasterIndex = addLong(m.MasterIndex, 1);
    if (m.MasterIndex > kMasterTableSize) m.MasterIndex = 1;
    if (m.MasterIndex < 1) raise(kSubscriptOutOfRange, "master table index");
    m.MasterThreshold = m.MasterTable[m.MasterIndex];
}

}  // namespace varkel::cipher
