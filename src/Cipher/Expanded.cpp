// Expanded files: each enciphered symbol is followed by N(k) enciphered filler symbols, where
// N is the expansion-number table of the key.
#include "Alphabet.h"
#include "CipherStream.h"
#include "FileWork.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"

#include <algorithm>
#include <string>
#include <vector>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

// The filler is the symbol at position Int(R * (size - 1)) + 1 of the alphabet, where
// R = 3758214 / 16777216: position 58 (byte 57) of the binary alphabet, 34 of the text one.
uint8_t fillerSymbol(const ModuleState& m) {
    const size_t position = m.CipherMode == kTextMode ? 34 : 58;
    if (m.ActiveAlphabet.size() < position) raise(kInvalidArgument, "no filler in the alphabet");
    return static_cast<uint8_t>(m.ActiveAlphabet[position - 1]);
}

int nextIndex(int j) { return j == kExpansionTableSize ? 1 : j + 1; }

// Fillers after the symbol with expansion index k (the table holds no negative counts).
size_t fillerCount(const ModuleState& m, int k) {
    return static_cast<size_t>(std::max<int16_t>(m.ExpansionNumbers[k], 0));
}

// Lays out a plain symbol and room for the fillers after it; `plain` notes where it went.
void placeWithFillers(std::vector<uint8_t>& batch, std::vector<size_t>& plain, uint8_t symbol, size_t fillers,
                      uint8_t filler) {
    plain.push_back(batch.size());
    batch.push_back(symbol);
    batch.insert(batch.end(), fillers, filler);
}

// Expanded bytes per call of the cipher: enough for both cores, small enough to stay in cache
// and keep memory bounded. A symbol with its fillers takes at most kMaxSpread bytes.
constexpr size_t kBatch = size_t{2} << 20;
constexpr size_t kMaxSpread = 1 + 0x8000;

struct Mode {
    int mode;
    const char* numbers;
    const char* written;
};

constexpr Mode kBinaryEnc{kBinaryMode, "k5.bin", "Expanded Binary File Written."};
constexpr Mode kTextEnc{kTextMode, "k5.txt", "Expanded Text File Written."};
constexpr Mode kBinaryDec{kBinaryMode, "k5.bin", "Expanded Binary Decrypted File Written."};
constexpr Mode kTextDec{kTextMode, "k5.txt", "Expanded Text Decrypted File Written."};

// Steps 1..7 shared by the four operations. Returns nothing when the key's numbers are bad
// (cmd then holds the error text and no file has been touched).
// Everything the operation needs is checked before the output is cleared, so that a failure
// leaves every file as it was.
std::optional<Target> prepare(ModuleState& m, std::string& cmd, const Mode& mode, bool decrypt) {
    startCommand(m, cmd);
    if (!readExpansionNumbers(m, mode.numbers, cmd)) return std::nullopt;
    Target target = chooseTarget(m);
    if (decrypt) {
        checkWritable("conv.enc");
        checkWritable(kDecryptedList);
    }
    cmd.clear();
    ConvertKeys(m);
    PrepareCipher(m, mode.mode);
    LoadWheels(m, mode.mode);
    CheckResetCopy(m, mode.mode);
    clearOutput(target);
    return target;
}

void expandEnc(ModuleState& m, std::string& cmd, const Mode& mode) {
    const std::optional<Target> target = prepare(m, cmd, mode, false);
    if (!target) return;
    writeOutput(m, *target, [&] {
        const bool text = mode.mode == kTextMode;
        m.OutputBuffer.clear();
        m.OutputRecordNo = 0;
        {
            RecordFile input(target->input, kRecordLength, kDocument);
            RecordFile output(target->output, kRecordLength, kOwnerOnly);
            ChunkReader reader(input.file());
            ChunkWriter writer(output.file());
            CipherStream stream(m);
            const uint8_t filler = fillerSymbol(m);
            // The output is laid out a batch at a time, each plain symbol followed by its fillers,
            // and goes through the cipher in one call.
            std::vector<uint8_t> batch;
            std::vector<size_t> plain;
            batch.reserve(kBatch + kMaxSpread);
            OutputTail tail;
            auto encipherBatch = [&] {
                const size_t done = stream.encipherWithFillers(batch.data(), batch.size(), plain);
                writer.put(std::string_view(reinterpret_cast<const char*>(batch.data()), done));
                if (done != batch.size()) {
                    // The records written before the failing symbol stay in the output.
                    stream.finish();
                    writer.flushWholeRecords(kRecordLength);
                    raise(kInvalidArgument, "symbol outside the alphabet");
                }
                tail.add(batch.data(), batch.size());
                batch.clear();
                plain.clear();
            };
            int k = 0;
            for (std::string_view chunk = reader.next(); !chunk.empty(); chunk = reader.next()) {
                for (const char c : chunk) {
                    const auto symbol = static_cast<uint8_t>(c);
                    if (text && (symbol == 26 || symbol == 10 || symbol == 0 || !stream.inAlphabet(symbol))) continue;
                    k = nextIndex(k);
                    placeWithFillers(batch, plain, symbol, fillerCount(m, k), filler);
                    if (batch.size() >= kBatch) encipherBatch();
                }
            }
            encipherBatch();
            stream.finish();
            writer.flush();
            input.close();
            output.close();
            tail.store(m);
        }
        SaveAndResetWheels(m, mode.mode);
        finishTarget(*target, cmd, "Original File Replaced with Expanded File.", mode.written);
    });
}

void expandDec(ModuleState& m, std::string& cmd, const Mode& mode) {
    const std::optional<Target> target = prepare(m, cmd, mode, true);
    if (!target) return;
    writeOutput(m, *target, [&] {
        m.CommandWords[2] = target->output;
        m.OutputBuffer.clear();
        DecryptShotGun(m);
        SaveAndResetWheels(m, mode.mode);
        finishTarget(*target, cmd, "Original File Replaced with Decrypted File.", mode.written);
        UpdateDecFile(m, target->replace ? target->input : target->output);
    });
}

}  // namespace

void VrkBExpandFileEnc(ModuleState& m, std::string& cmd) { expandEnc(m, cmd, kBinaryEnc); }
void VrkTExpandFileEnc(ModuleState& m, std::string& cmd) { expandEnc(m, cmd, kTextEnc); }
void VrkBExpandFileDec(ModuleState& m, std::string& cmd) { expandDec(m, cmd, kBinaryDec); }
void VrkTExpandFileDec(ModuleState& m, std::string& cmd) { expandDec(m, cmd, kTextDec); }

void DecryptShotGun(ModuleState& m) {
    m.CheckFileName = "conv.enc";
    VrkFileCheck(m);
    if (m.CheckFileFound != 0) deleteFile("conv.enc");

    // Gather the real symbols: one, then skip the N(j) fillers that follow it.
    {
        RecordFile input(m.CommandWords[1], 1, kDocument);
        RecordFile gathered("conv.enc", kRecordLength, kOwnerOnly);
        ChunkReader reader(input.file());
        ChunkWriter writer(gathered.file());
        uint64_t skip = 0;
        int j = 0;
        for (std::string_view chunk = reader.next(); !chunk.empty(); chunk = reader.next()) {
            while (!chunk.empty()) {
                if (skip >= chunk.size()) {
                    skip -= chunk.size();
                    break;
                }
                chunk.remove_prefix(static_cast<size_t>(skip));
                writer.put(chunk.front());
                chunk.remove_prefix(1);
                j = nextIndex(j);
                skip = static_cast<uint64_t>(m.ExpansionNumbers[j]);
            }
        }
        writer.flush();
        input.close();
        gathered.close();
    }

    // Decipher them, moving the wheels over the left-out fillers.
    m.OutputBuffer.clear();
    m.OutputRecordNo = 0;
    {
        RecordFile gathered("conv.enc", kRecordLength, kOwnerOnly);
        RecordFile output(m.CommandWords[2], kRecordLength, kOwnerOnly);
        ChunkReader reader(gathered.file());
        ChunkWriter writer(output.file());
        CipherStream stream(m);
        const bool text = m.ActiveAlphabet.size() == kTextSize;
        // The symbols are laid out a batch at a time with room for the left-out fillers, which
        // the cipher steps over in the same call without reading them.
        constexpr uint8_t filler = 0;
        std::vector<uint8_t> batch;
        std::vector<size_t> plain;
        batch.reserve(kBatch + kMaxSpread);
        std::string decrypted;
        auto decipherBatch = [&] {
            const size_t done = stream.decipherSpread(batch.data(), batch.size(), plain);
            decrypted.clear();
            for (const size_t at : plain) {
                if (at >= done) break;
                decrypted += static_cast<char>(batch[at]);
                if (text && batch[at] == '\r') decrypted += '\n';
            }
            writer.put(decrypted);
            if (done != batch.size()) {
                // The records written before the failing symbol stay in the output.
                stream.finish();
                writer.flushWholeRecords(kRecordLength);
                raise(kInvalidArgument, "symbol outside the alphabet");
            }
            batch.clear();
            plain.clear();
        };
        int j = 0;
        for (std::string_view chunk = reader.next(); !chunk.empty(); chunk = reader.next()) {
            for (const char c : chunk) {
                j = nextIndex(j);
                placeWithFillers(batch, plain, static_cast<uint8_t>(c), fillerCount(m, j), filler);
                if (batch.size() >= kBatch) decipherBatch();
            }
        }
        decipherBatch();
        stream.finish();
        writer.flush();
        gathered.close();
        output.close();
        // The tail is written after the last full record and the buffer is emptied.
        m.OutputRecordNo = toLong(static_cast<double>(writer.written() / kRecordLength));
        m.OutputBuffer.clear();
    }
    deleteFile("conv.enc");
}

}  // namespace varkel::cipher
