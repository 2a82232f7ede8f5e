// Scrambling: byte-order reversal of a whole file, of its leading blocks, or of key-driven
// blocks. Every scramble is its own inverse.
#include "Command.h"
#include "FileWork.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"

#include <algorithm>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

constexpr const char* kNumericInvalid = "Error - Numeric info passed invalid.";
constexpr const char* kExceedsFile = "Error - Number of Blocks/BlockSize exceeds Filesize";

void readExactly(const File& file, uint64_t offset, char* data, size_t size) {
    if (file.readAt(offset, data, size) != size) raise(kInputPastEnd, file.name());
}

// Reverses bytes [start, start + length) of the file in place, a chunk from each end at a time.
void reverseRange(File& file, uint64_t start, uint64_t length) {
    uint64_t low = start;
    uint64_t high = start + length;
    std::string front;
    std::string back;
    while (high - low > 1) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(kChunkSize, (high - low) / 2));
        front.resize(size);
        back.resize(size);
        readExactly(file, low, front.data(), size);
        readExactly(file, high - size, back.data(), size);
        std::reverse(front.begin(), front.end());
        std::reverse(back.begin(), back.end());
        file.writeAt(low, back);
        file.writeAt(high - size, front);
        low += size;
        high -= size;
    }
}

// Length of the key-driven block with expansion number `number` when `left` bytes remain.
// The block collects byte t (t = 0 .. number - 1) while pos + t <= L, with pos already moved
// on by the t bytes taken: so at most half of what is left, rounded up. A number of 1 copies
// one byte; the table never holds less (a smaller one would take nothing and never end).
uint64_t scrambleBlockSize(int16_t number, uint64_t left) {
    if (number <= 1) return 1;
    return std::min<uint64_t>(static_cast<uint64_t>(number), (left + 1) / 2);
}

}  // namespace

void VrkScrambleFile(ModuleState& m, std::string& cmd) {
    const std::string text = trimTrailingBlanks(cmd);
    const size_t first = text.find(':');
    const size_t second = first == std::string::npos ? std::string::npos : text.find(':', first + 1);
    const std::string field1 = text.substr(0, first);
    const std::string field2 = first == std::string::npos ? std::string() : text.substr(first + 1, second - first - 1);
    const std::string field3 = second == std::string::npos ? std::string() : text.substr(second + 1);

    const int32_t blocks = toLong(val(field1));
    const int32_t size = toLong(val(field2));
    m.ScrambleBlocks = blocks;
    m.ScrambleBlockSize = size;
    m.ScrambleFile = field3;
    if (blocks == 0 || (size == 0 && blocks != 1)) {
        cmd = kNumericInvalid;
        return;
    }
    const uint64_t length = RecordFile(m.ScrambleFile, 1, kDocument).length();
    const int32_t needed = toLong(static_cast<double>(blocks) * size);
    if (needed > 0 && length < static_cast<uint64_t>(needed)) {
        cmd = kExceedsFile;
        return;
    }
    m.ScrambleOffset = 0;
    if (blocks == 1) {
        DoFull(m);
    } else {
        DoDepth(m);
    }
}

void DoFull(ModuleState& m) {
    RecordFile file(m.ScrambleFile, 1, kDocument);
    RecordFile turned("turnabot.dat", 1, kOwnerOnly);
    const uint64_t length = file.length();
    std::string buffer;
    // Byte L of the file goes to position 1 of turnabot.dat, byte L-1 to position 2, ...
    for (uint64_t done = 0; done < length;) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(kChunkSize, length - done));
        buffer.resize(size);
        readExactly(file.file(), length - done - size, buffer.data(), size);
        std::reverse(buffer.begin(), buffer.end());
        turned.file().writeAt(done, buffer);
        done += size;
    }
    for (uint64_t done = 0; done < length;) {
        const size_t size = static_cast<size_t>(std::min<uint64_t>(kChunkSize, length - done));
        buffer.resize(size);
        readExactly(turned.file(), done, buffer.data(), size);
        file.file().writeAt(done, buffer);
        done += size;
    }
    file.close();
    turned.close();
    // The reversed copy is the whole file's content: wipe it, do not just unlink it.
    KillTheFile(m, "turnabot.dat");
}

void DoDepth(ModuleState& m) {
    RecordFile file(m.ScrambleFile, 1, kDocument);
    const int32_t size = m.ScrambleBlockSize;
    if (size <= 0) return;
    const uint64_t blockSize = static_cast<uint64_t>(size);
    std::string buffer;
    for (int32_t k = 1; k <= m.ScrambleBlocks;) {
        const uint64_t start = static_cast<uint64_t>(m.ScrambleOffset);
        if (blockSize > kChunkSize) {
            reverseRange(file.file(), start, blockSize);
            m.ScrambleOffset = addLong(m.ScrambleOffset, size);
            ++k;
            continue;
        }
        // As many whole blocks as fit in one chunk, each reversed on its own.
        const int32_t count = static_cast<int32_t>(
            std::min<uint64_t>(kChunkSize / blockSize, static_cast<uint64_t>(m.ScrambleBlocks - k + 1)));
        buffer.resize(static_cast<size_t>(blockSize * static_cast<uint64_t>(count)));
        readExactly(file.file(), start, buffer.data(), buffer.size());
        for (int32_t b = 0; b < count; ++b) {
            const auto begin = buffer.begin() + static_cast<std::ptrdiff_t>(blockSize * static_cast<uint64_t>(b));
            std::reverse(begin, begin + static_cast<std::ptrdiff_t>(blockSize));
        }
        file.file().writeAt(start, buffer);
        m.ScrambleOffset = addLong(m.ScrambleOffset, static_cast<int64_t>(size) * count);
        k += count;
    }
    file.close();
}

void VrkXScrambleFile(ModuleState& m, std::string& cmd) {
    startCommand(m, cmd);
    if (!readExpansionNumbers(m, "k6.dat", cmd)) return;
    const Target target = chooseTarget(m);
    cmd.clear();
    ConvertKeys(m);
    clearOutput(target);
    writeOutput(m, target, [&] {
        {
            RecordFile input(target.input, 1, kDocument);
            RecordFile output(target.output, 1, kOwnerOnly);
            ChunkReader reader(input.file());
            ChunkWriter writer(output.file());
            // Each block is written reversed. A block that does not fit takes only what its
            // byte-by-byte collection admits near the end; the rest goes into the next blocks.
            const uint64_t length = reader.length();
            uint64_t start = 0;
            std::string block;
            std::string_view chunk;
            int j = 0;
            while (start < length) {
                j = j == kExpansionTableSize ? 1 : j + 1;
                const uint64_t size = scrambleBlockSize(m.ExpansionNumbers[j], length - start);
                block.clear();
                while (block.size() < size) {
                    if (chunk.empty()) chunk = reader.next();
                    const size_t take = static_cast<size_t>(std::min<uint64_t>(size - block.size(), chunk.size()));
                    block.append(chunk.substr(0, take));
                    chunk.remove_prefix(take);
                }
                writer.put(std::string(block.rbegin(), block.rend()));
                start += size;
            }
            writer.flush();
            input.close();
            output.close();
        }
        finishTarget(target, cmd, "Original File Replaced with Scrambled File.", "Scrambled File Written.");
    });
}

}  // namespace varkel::cipher
