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
#include <future>
#include <optional>
#include <vector>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

constexpr OpenOptions kSecret{.ownerOnly = true};
// Large enough for the cores to share each block, small enough to keep memory bounded.
constexpr size_t kBlock = kCipherBlock;

// One block of a file on its way through the cipher.
struct Block {
    std::vector<uint8_t> data;
    size_t size = 0;                  // bytes read into `data`; 0 at the end of the input
    const uint8_t* result = nullptr;  // what is to be written
    size_t resultSize = 0;            // its size (text: the bytes kept, from the reading on)
    std::vector<uint8_t> spare;       // for results that grow
};

// Reads the next stretch of `file` (up to `length`) into the block; size 0 at the end.
void readNext(const File& file, const std::string& name, uint64_t length, uint64_t& offset, Block& b) {
    b.size = static_cast<size_t>(std::min<uint64_t>(b.data.size(), length - offset));
    if (b.size == 0) return;
    if (file.readAt(offset, b.data.data(), b.size) != b.size) raise(kInputPastEnd, name);
    offset += b.size;
}

// Reads, works on and writes a file block by block. While one block is worked on, the block
// before it is written and the one after it read, so the copies into and out of the page cache
// overlap the cipher. `read(block)` fills a block (size 0 at the end), `work(block)` sets its
// result, `write(block)` writes the result; reads and writes each keep their order, and run on
// one thread at a time.
template <class Read, class Work, class Write>
void throughBlocks(uint64_t length, Read read, Work work, Write write) {
    const size_t blockSize = static_cast<size_t>(std::min<uint64_t>(kBlock, length));
    std::array<Block, 3> blocks;
    blocks[0].data.resize(blockSize);
    read(blocks[0]);
    if (length <= kBlock) {
        // One block: nothing to overlap, so no helper thread (small documents come by the
        // thousand, and a thread costs more than their cipher work).
        if (blocks[0].size == 0) return;
        work(blocks[0]);
        write(blocks[0]);
        return;
    }
    for (Block& b : blocks) b.data.resize(blockSize);
    Block* worked = nullptr;  // worked on, not yet written
    for (size_t i = 0; blocks[i % 3].size > 0; ++i) {
        Block& current = blocks[i % 3];
        Block& next = blocks[(i + 1) % 3];
        // The future's destructor waits for the task, also when `work` throws.
        std::future<void> io = std::async(std::launch::async, [&read, &write, &next, previous = worked] {
            if (previous) write(*previous);
            read(next);
        });
        work(current);
        io.get();
        worked = &current;
    }
    if (worked) write(*worked);
}

void processBinaryFile(ModuleState& m, const std::string& cmd, bool decrypt) {
    const FileNames names = splitFileCommand(cmd);
    // Everything needed is checked before the first byte changes.
    const bool inPlace = sameFile(names.input, names.output);
    checkDocument(names.input);
    if (!inPlace) checkWritable(names.output);
    if (decrypt) checkWritable(kDecryptedList);
    PrepareCipher(m, kBinaryMode);
    LoadWheels(m, kBinaryMode);
    CheckResetCopy(m, kBinaryMode);
    m.OutputBuffer.clear();
    m.OutputRecordNo = 0;

    File input(names.input, OpenMode::Random, kDocument);
    std::optional<File> separate;
    if (!inPlace) separate.emplace(names.output, OpenMode::Random, kSecret);
    File& output = separate ? *separate : input;

    const uint64_t length = input.length();
    if (length / kRecordLength > static_cast<uint64_t>(INT32_MAX)) raise(kOverflow, "file too large");
    CipherStream stream(m);
    OutputTail tail;
    uint64_t readOffset = 0;
    throughBlocks(
        length,
        [&](Block& b) { readNext(input, names.input, length, readOffset, b); },
        [&](Block& b) {
            decrypt ? stream.decipher(b.data.data(), b.size) : stream.encipher(b.data.data(), b.size);
            b.result = b.data.data();
            b.resultSize = b.size;
        },
        [&](const Block& b) {
            // Block by block, in place as well: a block is written only after it has been read.
            output.writeAt(tail.written(), b.result, b.resultSize);
            tail.add(b.result, b.resultSize);
        });
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
    // Everything needed is checked before the old output goes.
    checkDocument(input);
    checkWritable(output);
    if (decrypt) checkWritable(kDecryptedList);
    PrepareCipher(m, kTextMode);
    LoadWheels(m, kTextMode);
    CheckResetCopy(m, kTextMode);
    m.OutputBuffer.clear();
    m.OutputRecordNo = 0;
    if (fileExists(output) && fileLength(output) > 0) deleteFile(output);

    File in(input, OpenMode::Random, kDocument);
    File out(output, OpenMode::Random, kSecret);
    out.truncate(0);
    const uint64_t length = in.length();
    CipherStream stream(m);
    // Per byte: 0 dropped silently, 1 dropped and counted, 2 kept.
    std::array<uint8_t, 256> fate;
    for (int c = 0; c < 256; ++c) {
        const bool silent = !decrypt && (c == 0 || c == 10 || c == 26);
        fate[c] = silent ? 0 : stream.inAlphabet(static_cast<uint8_t>(c)) ? 2 : 1;
    }
    int64_t dropped = 0;
    OutputTail tail;
    uint64_t readOffset = 0;
    throughBlocks(
        length,
        // The filtering and the line ends go with the reading and the writing, beside the
        // cipher's work on the block in between.
        [&](Block& b) {
            readNext(in, input, length, readOffset, b);
            if (b.size == 0) return;
            // Keep what the alphabet can carry.
            b.resultSize = keepTextBytes(b.data.data(), b.size, fate, dropped);
            if (dropped > INT32_MAX) raise(kOverflow, "error count");
        },
        [&](Block& b) {
            decrypt ? stream.decipher(b.data.data(), b.resultSize) : stream.encipher(b.data.data(), b.resultSize);
            b.result = b.data.data();
        },
        [&](Block& b) {
            if (decrypt) {
                // Decryption puts a line feed after every carriage return: at most twice as long.
                b.spare.resize(2 * b.data.size() + 64);
                b.resultSize = expandLineEnds(b.result, b.resultSize, b.spare.data());
                b.result = b.spare.data();
            }
            out.writeAt(tail.written(), b.result, b.resultSize);
            tail.add(b.result, b.resultSize);
        });
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
    // Whole names are compared, so report.doc is listed even when report.docx is. Records are
    // blank-padded: trailing blanks of the name are no part of it.
    RecordFile list(kDecryptedList, 80, kSecret);
    const uint64_t entries = list.length() / 80;
    const std::string name = trimTrailingBlanks(uf);
    bool listed = false;
    for (uint64_t r = 1; r <= entries; ++r)
        if (trimTrailingBlanks(list.get(r)) == name) listed = true;
    if (!listed) list.put(entries + 1, uf);
    list.close();
}

}  // namespace varkel::cipher
