// Key set-up: key schedule, wheels, scheme files and the master table.
#include "Alphabet.h"
#include "File.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

constexpr size_t kKeyLength = 18;
constexpr OpenOptions kSecret{.ownerOnly = true};

// Repeats the key until it has 18 characters and cuts it there.
std::string normaliseKey(std::string key) {
    while (key.size() < kKeyLength) key += key;
    key.resize(kKeyLength);
    return key;
}

// A key must be digits, and none of its schedule pairs may read 00: either would build a
// wheel that lacks a symbol (and an empty key would never reach 18 characters).
void checkKey(const std::string& key) {
    if (key.empty()) raise(kInvalidArgument, "empty key");
    if (!std::all_of(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }))
        raise(kInvalidArgument, "key holds a character that is not a digit");
    const std::string k = normaliseKey(key);
    const std::string s = k + std::string(k.rbegin(), k.rend());
    for (size_t v = 0; v + 1 < s.size(); v += 2)
        if (s[v] == '0' && s[v + 1] == '0') raise(kInvalidArgument, "key gives a schedule entry of 0");
}

int firstDigit(int value) { return std::to_string(value < 0 ? -value : value)[0] - '0'; }

// Rules of GenSchemeParams: a first digit d maps to d + 1 (less 5 above 7) for wheel
// parameters and steps, and to d + 20 (less 15 above 22) for the expansion numbers.
int stepFromDigit(int d) { return d + 1 > 7 ? d + 1 - 5 : d + 1; }
int expansionFromDigit(int d) { return d + 20 > 22 ? d + 20 - 15 : d + 20; }

// A scheme file written anew. The old one is removed rather than emptied: a file system may
// push a file that is emptied and written again out to the disk when it is closed, which costs
// milliseconds per file; the files are rewritten with every key.
// A link or special file in its place is refused, not removed.
TextWriter freshTextFile(const char* file) {
    if (fileKind(file) == FileKind::Regular) deleteFile(file);
    return TextWriter(file, OpenMode::Output, kSecret);
}

void writeNumbers(const char* file, const ModuleState& m, int firstEntry, int count, int (*rule)(int)) {
    TextWriter out = freshTextFile(file);
    for (int e = firstEntry; e < firstEntry + count; ++e)
        out.printLine(std::to_string(rule(firstDigit(m.KeySchedule[e]))));
    out.close();
}

void expandSchedule(ModuleState& m, const std::string& s) {
    auto& e = m.KeySchedule;
    int32_t n = 0;
    const auto add = [&](int value) {
        ++n;
        if (n > kKeyScheduleSize) raise(kSubscriptOutOfRange, "key schedule");
        e[n] = toInteger(value);
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (size_t v = 0; v + 1 < s.size(); v += 2) add(static_cast<int>(roundHalfEven(val(s.substr(v, 2)))));
        int32_t m0 = n;
        for (int v = 1; v <= m0; ++v) add(e[v] + 2);
        m0 = n;
        for (int v = 1; v <= m0; ++v) add(e[v] + 3);
        m0 = n;
        for (int v = 2; v <= m0; v += 2) add(e[v] + 4);
        m0 = n;
        for (int v = 3; v <= m0; v += 3) add(e[v] + 5);
        m0 = n;
        for (int v = 4; v <= m0; v += 4) add(e[v] + 1);
        m0 = n;
        for (int v = m0; v >= 1; v -= 6) add(e[v] + 7);
        m0 = n;
        for (int v = m0; v >= 1; --v) add(e[v] + 1);
        m0 = n;
        for (int v = 1; v <= m0; v += 10) add(e[v] + 2);
    }
    m.KeyScheduleLength = n;
    for (int v = 2; v <= n; ++v) {
        if (e[v] == e[v - 1]) e[v] = static_cast<int16_t>(e[v] + 2);
        if (e[v] > 151) e[v] = static_cast<int16_t>(e[v] - 151);
    }
}

// Builds the 20 wheels from the schedule into records 1..20 of `wheelFile`.
void generateWheels(ModuleState& m, int size, const std::string& alphabet, const char* wheelFile) {
    // The row W(1..N) is kept as a ring: rotating it left by one only moves `start`.
    std::string ring = alphabet;
    size_t start = 0;
    const auto slot = [&](int i) -> char& {
        if (i < 1 || i > size) raise(kSubscriptOutOfRange, "wheel row slot");
        return ring[(start + static_cast<size_t>(i) - 1) % static_cast<size_t>(size)];
    };
    int32_t cursor = 0;
    const auto next = [&] {
        if (++cursor > m.KeyScheduleLength) cursor = 1;
        return m.KeySchedule[cursor];
    };
    RecordFile wheels(wheelFile, static_cast<size_t>(size), kSecret);
    std::vector<std::string> records;
    int swaps = 0;
    for (int p = 1; p <= kWheelCount; ++p) {
        for (int i = 0; i < 500; ++i) {
            const int a = next();
            const int b = next();
            std::swap(slot(a), slot(b));
            if (++swaps == 2) {
                swaps = 0;
                start = (start + 1) % static_cast<size_t>(size);
            }
        }
        records.push_back(ring.substr(start) + ring.substr(0, start));
    }
    wheels.putRecords(1, records);
    wheels.close();
}

void copyWheelRecords(const char* from, const char* to, size_t size) {
    const RecordFile source(from, size, kSecret);
    RecordFile target(to, size, kSecret);
    target.putRecords(1, source.getRecords(1, kWheelCount));
    target.close();
}

void generateKeys(ModuleState& m, std::string& cmd, int mode) {
    checkKey(cmd);
    m.CipherMode = mode;
    GenSetup(m, cmd);
    const bool text = mode == kTextMode;
    const int size = text ? kTextSize : kBinarySize;
    generateWheels(m, size, text ? textAlphabet() : binaryAlphabet(), text ? "k1.txt" : "k1.bin");
    GenSchemeParams(m);
    copyWheelRecords(text ? "k1.txt" : "k1.bin", text ? "k1.trs" : "k1.brs", size);
    copyWheelRecords(text ? "k1.txt" : "k1.bin", text ? "k1.tcr" : "k1.bcr", size);
}

}  // namespace

void VrkGenBinaryKeys(ModuleState& m, std::string& cmd) { generateKeys(m, cmd, kBinaryMode); }
void VrkGenTextKeys(ModuleState& m, std::string& cmd) { generateKeys(m, cmd, kTextMode); }

void GenSetup(ModuleState& m, std::string& cmd) {
    checkKey(cmd);
    ApiInit(m);
    cmd = normaliseKey(cmd);
    expandSchedule(m, cmd + std::string(cmd.rbegin(), cmd.rend()));
}

void GenSchemeParams(ModuleState& m) {
    const bool text = m.CipherMode == kTextMode;
    m.WheelCount = kWheelCount;
    m.PassCount = 2;
    {
        TextWriter k2 = freshTextFile(text ? "k2.txt" : "k2.bin");
        k2.printLine("20 2");
        k2.close();
    }
    std::string record(100, '\0');
    for (int p = 1; p <= kWheelCount; ++p) {
        m.WheelDirection[p] = m.KeySchedule[19 + p] > 45 ? 1 : 0;
        m.WheelParam[p] = static_cast<int16_t>(stepFromDigit(firstDigit(m.KeySchedule[39 + p])));
        record[p - 1] = m.WheelDirection[p] != 0 ? 'U' : 'D';
        const float value = m.WheelParam[p];
        std::memcpy(record.data() + 20 + 4 * (p - 1), &value, sizeof value);
    }
    {
        RecordFile k3(text ? "k3.txt" : "k3.bin", 100, kSecret);
        k3.put(1, record);
        k3.close();
    }
    writeNumbers(text ? "k4.txt" : "k4.bin", m, 60, kWheelCount, stepFromDigit);
    writeNumbers(text ? "k5.txt" : "k5.bin", m, 80, 10, expansionFromDigit);
    writeNumbers("k6.dat", m, 90, 10, expansionFromDigit);

    const int32_t product = static_cast<int32_t>(m.KeySchedule[21]) * m.KeySchedule[20];
    int32_t x = toInteger(product);
    while (x > 999) x -= 999;
    if (x < 10) x += 10;
    const std::string digits = "00" + std::to_string(x);
    GenerateMsterKeys(m, digits.substr(digits.size() - 3));
}

void GenerateMsterKeys(ModuleState& m, const std::string& keystr) {
    auto& t = m.MasterTable;
    t.fill(0);
    const auto digit = [](std::string_view c) {
        const auto v = static_cast<int32_t>(val(c));
        return v == 0 ? 10 : v;
    };
    const std::string_view key = keystr;
    t[1] = digit(key.substr(0, 1));
    t[2] = digit(key.size() >= 2 ? key.substr(1, 1) : std::string_view());
    t[3] = digit(key.empty() ? std::string_view() : key.substr(key.size() - 1));
    t[4] = t[1] + t[2] + t[3];
    t[5] = t[1] + t[2] + 2;
    t[6] = t[2] + t[3] + 3;
    t[7] = t[1] + t[3] + 4;
    t[8] = t[1] + 5;
    t[9] = t[2] + 5;
    t[10] = t[3] + 5;

    struct Run {
        int from, to, step, add;
    };
    // Descending runs start at the last position written before them (w - 1).
    static constexpr Run kRuns[] = {
        {1, 10, 2, 2},     {2, 10, 2, 3},    {20, 1, -3, 7},   {1, 27, 3, 9},  {1, 36, 5, 13},
        {44, 1, -5, 17},   {1, 53, 7, 4},    {61, 1, -7, 6},   {2, 70, 8, 1},  {79, 2, -8, 2},
        {5, 89, 5, 3},     {106, 5, -5, 2},  {127, 1, -1, 1},
    };
    int w = 11;
    for (const Run& run : kRuns) {
        for (int s = run.from; run.step > 0 ? s <= run.to : s >= run.to; s += run.step) {
            if (w > kMasterTableSize) break;
            t[w++] = addLong(t[s], run.add);
        }
    }
    for (int x = 1; x <= kMasterTableSize; ++x) {
        if (t[x] < 10) t[x] += 10;
        if (t[x] > 50) t[x] -= 20;
    }
}

}  // namespace varkel::cipher
