// Shared pieces of the expanded-file and scramble operations: buffered sequential reading and
// writing over record files, the key's expansion numbers and the command's output choice.
#pragma once

#include "File.h"
#include "Module.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varkel::cipher {

// Files the library creates here hold key-derived or plain data: owner-only.
inline constexpr platform::OpenOptions kOwnerOnly{.ownerOnly = true};

// Size of one block of real I/O; the algorithms still address single bytes or 1000-byte
// records, this only bounds memory and the number of system calls.
inline constexpr size_t kChunkSize = size_t{1} << 20;

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
    uint64_t written() const { return offset_ + buffer_.size(); }

private:
    platform::File& file_;
    uint64_t offset_ = 0;
    std::string buffer_;
};

// Leaves OutputBuffer and OutputRecordNo as writing `total` bytes through 1000-byte records
// leaves them: the full records counted, the bytes of the last partial record buffered.
// `tail` holds at least the last total mod 1000 bytes written.
void setRecordState(ModuleState& m, uint64_t total, std::string_view tail);

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
// empty or names the input itself (the input is then replaced at the end). A non-empty output
// is deleted so that the output starts empty.
Target chooseTarget(ModuleState& m);

// Puts the finished output in place of the input in one step.
void replaceInput(const Target& target);

}  // namespace varkel::cipher
