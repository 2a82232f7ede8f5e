// Whole files through the cipher: binary mode, text mode and the decrypted-file list.
//
// Files are read and written in large blocks; the result equals the record-wise algorithm
// (1000-byte records through OutputBuffer), and the module's OutputBuffer and OutputRecordNo
// are left as that algorithm leaves them.
#include "Alphabet.h"
#include "CipherStream.h"
#include "Command.h"
#include "File.h"
#include "FileWork.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"

#include <array>
#include <optional>
#include <vector>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

constexpr OpenOptions kSecret{.ownerOnly = true};
// Large enough for the cores to share each block, small enough to keep memory bounded.
constexpr size_t kBlock = 8 << 20;

void processBinaryFile(ModuleState& m, const std::string& cmd, bool decrypt) {
    const FileNames names = splitFileCommand(cmd);
    PrepareCipher(m, kBinaryMode);
    LoadWheels(m, kBinaryMode);
    m.OutputBuffer.clear();
    m.OutputRecordNo = 0;

    File input(names.input, OpenMode::Random, kSecret);
    std::optional<File> separate;
    if (!sameFile(names.input, names.output)) separate.emplace(names.output, OpenMode::Random, kSecret);
    File& output = separate ? *separate : input;

    const uint64_t length = input.length();
    if (length / kRecordLength > static_cast<uint64_t>(INT32_MAX)) raise(kOverflow, "file too large");
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(kBlock, length)));
    CipherStream stream(m);
    OutputTail tail;
    while (tail.written() < length) {
        const uint64_t offset = tail.written();
        const size_t got = input.readAt(offset, block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), length - offset)));
        if (got == 0) raise(kInputPastEnd, names.input);
        decrypt ? stream.decipher(block.data(), got) : stream.encipher(block.data(), got);
        output.writeAt(offset, block.data(), got);
        tail.add(block.data(), got);
    }
    // A longer file that was there before must not keep its old tail.
    output.truncate(length);
    output.close();
    input.close();
    stream.finish();
    tail.store(m);
    SaveAndResetWheels(m, kBinaryMode);
    if (decrypt) UpdateDecFile(m, names.output);
}

// Text mode: the output is named after the input's first dot.
std::string textOutputName(const std::string& input, const char* suffix) {
    const size_t dot = input.find('.');
    return (dot == std::string::npos ? input : input.substr(0, dot)) + suffix;
}

void processTextFile(ModuleState& m, std::string& cmd, bool decrypt) {
    const std::string input = trimTrailingBlanks(std::string_view(cmd).substr(0, std::min<size_t>(cmd.size(), 50)));
    const std::string output = textOutputName(input, decrypt ? ".dec" : ".enc");
    // The output would be emptied before its input is read.
    if (sameFile(input, output)) raise(kInvalidArgument, "input has the name of its own output");
    PrepareCipher(m, kTextMode);
    LoadWheels(m, kTextMode);
    m.OutputBuffer.clear();
    m.OutputRecordNo = 0;
    if (fileExists(output) && fileLength(output) > 0) deleteFile(output);

    File in(input, OpenMode::Random, kSecret);
    File out(output, OpenMode::Random, kSecret);
    out.truncate(0);
    const uint64_t length = in.length();
    std::vector<uint8_t> block(static_cast<size_t>(std::min<uint64_t>(kBlock, length)));
    // Decryption puts a line feed after every carriage return: at most twice as long.
    std::vector<uint8_t> lines(decrypt ? 2 * block.size() : 0);
    CipherStream stream(m);
    // Per byte: 0 dropped silently, 1 dropped and counted, 2 kept.
    std::array<uint8_t, 256> fate;
    for (int c = 0; c < 256; ++c) {
        const bool silent = !decrypt && (c == 0 || c == 10 || c == 26);
        fate[c] = silent ? 0 : stream.inAlphabet(static_cast<uint8_t>(c)) ? 2 : 1;
    }
    int64_t dropped = 0;
    OutputTail tail;
    for (uint64_t offset = 0; offset < length;) {
        const size_t got = in.readAt(offset, block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), length - offset)));
        if (got == 0) raise(kInputPastEnd, input);
        offset += got;
        // Keep what the alphabet can carry.
        size_t kept = 0;
        for (size_t i = 0; i < got; ++i) {
            const uint8_t c = block[i];
            const uint8_t f = fate[c];
            block[kept] = c;
            kept += f >> 1;
            dropped += f & 1;
        }
        if (dropped > INT32_MAX) raise(kOverflow, "error count");
        decrypt ? stream.decipher(block.data(), kept) : stream.encipher(block.data(), kept);
        const uint8_t* produced = block.data();
        size_t size = kept;
        if (decrypt) {
            size = 0;
            for (size_t i = 0; i < kept; ++i) {
                const uint8_t c = block[i];
                lines[size++] = c;
                if (c == '\r') lines[size++] = '\n';
            }
            produced = lines.data();
        }
        out.writeAt(tail.written(), produced, size);
        tail.add(produced, size);
    }
    const int32_t errors = static_cast<int32_t>(dropped);
    out.close();
    in.close();
    stream.finish();
    tail.store(m);
    if (errors != 0) cmd = " " + std::to_string(errors) + " errors detected";
    SaveAndResetWheels(m, kTextMode);
    if (decrypt) UpdateDecFile(m, output);
}

}  // namespace

void VrkBinaryFileEnc(ModuleState& m, std::string& cmd) { processBinaryFile(m, cmd, false); }
void VrkBinaryFileDec(ModuleState& m, std::string& cmd) { processBinaryFile(m, cmd, true); }
void VrkTextFileEnc(ModuleState& m, std::string& cmd) { processTextFile(m, cmd, false); }
void VrkTextFileDec(ModuleState& m, std::string& cmd) { processTextFile(m, cmd, true); }

void UpdateDecFile(ModuleState&, const std::string& uf) {
    // Whole names are compared, so report.doc is listed even when report.docx is.
    RecordFile list("Vrkdec.dat", 80, kSecret);
    const uint64_t entries = list.length() / 80;
    bool listed = false;
    for (uint64_t r = 1; r <= entries; ++r)
        if (trimTrailingBlanks(list.get(r)) == uf) listed = true;
    if (!listed) list.put(entries + 1, uf);
    list.close();
}

}  // namespace varkel::cipher
