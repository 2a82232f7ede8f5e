// Shared pieces of the expanded-file and scramble operations: buffered sequential reading and
// writing over record files, the key's expansion numbers and the command's output choice.
#pragma once

#include "File.h"
#include "Module.h"
#include "Numbers.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace varkel::cipher {

// Files the library creates here hold key-derived or plain data: owner-only, and never
// reached through a link.
inline constexpr platform::OpenOptions kOwnerOnly{.ownerOnly = true};
// A user's document, read or changed in place: it may be a link to a regular file (whose
// target is then what changes) and keeps its own permission bits.
inline constexpr platform::OpenOptions kDocument{.ownerOnly = true, .followLinks = true};

// The decrypted-file list in the working folder.
inline constexpr const char* kDecryptedList = "Vrkdec.dat";

// Before anything changes: a document may be missing (it is created empty), a regular file or
// a link to one; anything else is error 75.
void checkDocument(const std::string& name);
// Before anything changes: a file that the library writes may be missing or a regular file; a
// link, folder, FIFO or device there is error 75.
void checkWritable(const std::string& name);

// Size of one block of real I/O; the algorithms still address single bytes or 1000-byte
// records, this only bounds memory and the number of system calls.
inline constexpr size_t kChunkSize = size_t{1} << 20;

// Binary and text files go through the cipher in blocks of this size (three at a time: one
// read, one worked on, one written).
inline constexpr size_t kCipherBlock = size_t{4} << 20;

// Reads a file from its start in chunks.
class ChunkReader {
public:
    explicit ChunkReader(const platform::File& file) : file_(file), length_(file.length()) {}
    uint64_t length() const { return length_; }
    // The next chunk; empty at the end of the file.
    std::string_view next();

private:
    const platform::File& file_;
    uint64_t length_;
    uint64_t offset_ = 0;
    std::string buffer_;
};

// Writes a file sequentially from its start, in chunks.
class ChunkWriter {
public:
    explicit ChunkWriter(platform::File& file) : file_(file) { buffer_.reserve(kChunkSize); }
    void put(char c) {
        buffer_ += c;
        if (buffer_.size() >= kChunkSize) flush();
    }
    void put(std::string_view data);
    void flush();
    // After a failure: writes what completes whole records and drops the partial record,
    // which the record-wise writing would still hold in its buffer.
    void flushWholeRecords(size_t recordLength);
    uint64_t written() const { return offset_ + buffer_.size(); }

private:
    platform::File& file_;
    uint64_t offset_ = 0;
    std::string buffer_;
};

// The output written so far, of which the last partial record is kept.
class OutputTail {
public:
    void add(const void* data, size_t size) {
        // Of a large piece only its last record's worth can still be the partial record.
        const size_t keep = std::min<size_t>(size, kRecordLength);
        if (keep < size) tail_.clear();
        tail_.append(static_cast<const char*>(data) + (size - keep), keep);
        written_ += size;
        if (tail_.size() > 2 * kRecordLength) tail_.erase(0, tail_.size() - kRecordLength);
    }
    uint64_t written() const { return written_; }
    // Leaves OutputRecordNo and OutputBuffer as the record-wise writing would.
    void store(ModuleState& m) const {
        m.OutputRecordNo = platform::toLong(static_cast<double>(written_ / kRecordLength));
        const size_t partial = written_ % kRecordLength;
        m.OutputBuffer.assign(tail_, tail_.size() - partial, partial);
    }

private:
    std::string tail_;
    uint64_t written_ = 0;
};


// Reads ten numbers into ExpansionNumbers 1..10 and checks that each lies in 0..99. On a bad
// number sets `cmd` to the error text and returns false.
bool readExpansionNumbers(ModuleState& m, const char* file, std::string& cmd);

struct Target {
    std::string input;
    std::string output;
    bool replace = false;
};

// Resets CommandWords and ExpansionNumbers 1..12 and splits `cmd` into words.
void startCommand(ModuleState& m, const std::string& cmd);

// Chooses the output of the command in CommandWords: word 2, or expand.dat when word 2 is
// empty or names the input itself (the input is then replaced at the end), and checks that
// both names can be used.
Target chooseTarget(ModuleState& m);

// Deletes a non-empty output, so that the output starts empty. The last step before the work.
void clearOutput(const Target& target);

// Puts the finished output in place of the input in one step.
void replaceInput(const Target& target);
// The last step: in replace mode the output takes the input's place and `cmd` reads
// `replacedText`; otherwise `cmd` reads `writtenText`.
void finishTarget(const Target& target, std::string& cmd, const char* replacedText, const char* writtenText);

// Runs `work`, which writes the output. In replace mode the output is a scratch file: a failure
// wipes it before it is reported, so that neither a part of the result nor plaintext stays
// behind while the input is as it was.
void writeOutput(ModuleState& m, const Target& target, const std::function<void()>& work);

}  // namespace varkel::cipher
