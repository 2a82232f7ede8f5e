// Destroying key material: the shut-down and the clean-up of decrypted files.
#include "Alphabet.h"
#include "Command.h"
#include "File.h"
#include "FileWork.h"
#include "Operations.h"
#include "VbError.h"

#include <functional>
#include <optional>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

constexpr OpenOptions kSecret{.ownerOnly = true};

// Runs every step even when one fails, and remembers the first failure.
class FirstError {
public:
    void run(const std::function<void()>& step) {
        try {
            step();
        } catch (const VbError& e) {
            if (!first_) first_ = e;
        }
    }
    void raiseIfAny() const {
        if (first_) throw *first_;
    }

private:
    std::optional<VbError> first_;
};

// Overwrites a wheel file that is not empty: every record with the filler (blanks when the
// filler was never built), at least records 1..20.
void overwriteWheels(const char* file, size_t size, const std::string& filler) {
    RecordFile wheels(file, size, kSecret);
    const uint64_t length = wheels.length();
    if (length == 0) return;
    const uint64_t records = std::max<uint64_t>(kWheelCount, (length + size - 1) / size);
    for (uint64_t r = 1; r <= records; ++r) wheels.put(r, filler);
    wheels.file().sync();
    wheels.close();
}

// Replaces a text file's content by `text` in place, blanking whatever of the old content
// lies beyond it, and flushes it to the disk.
void overwriteText(const char* file, const std::string& text) {
    File f(file, OpenMode::Random, kSecret);
    const uint64_t old = f.length();
    f.writeAt(0, text);
    if (old > text.size()) f.writeAt(text.size(), std::string(old - text.size(), ' '));
    f.sync();
    f.close();
}

std::string lines(const std::string& line, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += line + "\r\n";
    return text;
}

}  // namespace

void VrkShutDown(ModuleState& m, std::string&) {
    FirstError errors;
    for (const char* f : {"k1.tcr", "k1.trs", "k1.txt"})
        errors.run([&] { overwriteWheels(f, kTextSize, m.TextFiller); });
    for (const char* f : {"k1.bcr", "k1.brs", "k1.bin"})
        errors.run([&] { overwriteWheels(f, kBinarySize, m.BinaryFiller); });
    for (const char* f : {"k2.txt", "k2.bin"}) errors.run([&] { overwriteText(f, "0 0\r\n"); });
    // Each scheme record is blanked when its file holds one.
    const std::string blankScheme = std::string(20, ' ') + std::string(80, '\0');
    for (const char* f : {"k3.txt", "k3.bin"}) {
        errors.run([&] {
            RecordFile scheme(f, 100, kSecret);
            if (scheme.length() == 0) return;
            scheme.put(1, blankScheme);
            scheme.file().sync();
            scheme.close();
        });
    }
    const std::string crosses = lines("xxxxx", 20);
    for (const char* f : {"k4.txt", "k4.bin"}) {
        errors.run([&] {
            if (RecordFile(f, 1, kSecret).length() > 0) overwriteText(f, crosses);
        });
    }
    for (const char* f : {"k5.txt", "k5.bin", "k6.dat"}) errors.run([&] { overwriteText(f, crosses); });
    for (const char* f : {"k1.tcr", "k1.trs", "k1.bcr", "k1.brs", "k1.txt", "k1.bin", "k2.txt", "k2.bin", "k3.txt",
                          "k3.bin", "k4.txt", "k4.bin", "k5.txt", "k5.bin", "k6.dat"})
        errors.run([&] { deleteFile(f); });
    errors.raiseIfAny();
}

void VrkDeleteDecFiles(ModuleState& m, std::string&) {
    {
        RecordFile list(kDecryptedList, 80, kSecret);
        const uint64_t entries = (list.length() + 40) / 80;
        for (uint64_t r = 1; r <= entries; ++r) KillTheFile(m, trimTrailingBlanks(list.get(r)));
    }
    deleteFile(kDecryptedList);
}

}  // namespace varkel::cipher
