#include "FileWork.h"

#include "Command.h"
#include "Numbers.h"
#include "Operations.h"
#include "VbError.h"
#include "WinPath.h"


namespace varkel::cipher {
using namespace varkel::platform;

std::string_view ChunkReader::next() {
    if (offset_ >= length_) return {};
    const uint64_t left = length_ - offset_;
    buffer_.resize(left < kChunkSize ? static_cast<size_t>(left) : kChunkSize);
    const size_t got = file_.readAt(offset_, buffer_.data(), buffer_.size());
    if (got == 0) raise(kInputPastEnd, file_.name());
    buffer_.resize(got);
    offset_ += got;
    return buffer_;
}

void ChunkWriter::put(std::string_view data) {
    if (buffer_.size() + data.size() < kChunkSize) {
        buffer_ += data;
        return;
    }
    flush();
    if (data.size() < kChunkSize) {
        buffer_ += data;
        return;
    }
    // Large pieces go straight out.
    file_.writeAt(offset_, data.data(), data.size());
    offset_ += data.size();
}

void ChunkWriter::flush() {
    if (buffer_.empty()) return;
    file_.writeAt(offset_, buffer_);
    offset_ += buffer_.size();
    buffer_.clear();
}

void ChunkWriter::flushWholeRecords(size_t recordLength) {
    const uint64_t whole = written() - written() % recordLength;
    buffer_.resize(static_cast<size_t>(whole > offset_ ? whole - offset_ : 0));
    flush();
}

bool readExpansionNumbers(ModuleState& m, const char* file, std::string& cmd) {
    {
        TextReader numbers(file);
        for (int i = 1; i <= 10; ++i) m.ExpansionNumbers[i] = toInteger(numbers.inputNumber());
    }
    std::string bad;
    for (int i = 1; i <= 10; ++i)
        if (m.ExpansionNumbers[i] < 0 || m.ExpansionNumbers[i] > 99) bad += "#" + std::to_string(i);
    if (bad.empty()) return true;
    cmd = "Error - Bad Numbers " + bad;
    return false;
}

void startCommand(ModuleState& m, const std::string& cmd) {
    for (auto& word : m.CommandWords) word.clear();
    if (m.ExpansionNumbers.size() != kExpansionTableSize + 1) m.ExpansionNumbers.resize(kExpansionTableSize + 1);
    for (int i = 1; i <= 12; ++i) m.ExpansionNumbers[i] = 0;
    splitCommandWords(m, cmd);
}

void checkDocument(const std::string& name) {
    if (fileKind(name) == FileKind::Other) raise(kPathFileAccess, name + " is no regular file");
}

void checkWritable(const std::string& name) {
    const FileKind kind = fileKind(name);
    if (kind != FileKind::Missing && kind != FileKind::Regular)
        raise(kPathFileAccess, name + " is a link or no regular file");
}

Target chooseTarget(ModuleState& m) {
    Target t{m.CommandWords[1], m.CommandWords[2], false};
    // Writing the output over the input while reading it would destroy the input: an output
    // that is the input itself is handled as a replacement.
    if (t.output.empty() || sameFile(t.input, t.output)) {
        t.output = "expand.dat";
        t.replace = true;
    }
    checkDocument(t.input);
    checkWritable(t.output);
    // The finished output takes the input's place by a rename, which cannot cross file systems:
    // found out now, not after the work.
    if (t.replace && !sameFileSystem(t.output, t.input))
        raise(kPathFileAccess, t.input + " is on another file system than the working folder");
    return t;
}

void clearOutput(const Target& target) {
    if (fileKind(target.output) == FileKind::Regular && fileLength(target.output) > 0) deleteFile(target.output);
}

// The document keeps its owner, group and permission bits although its new content was written
// to an owner-only scratch file.
void replaceInput(const Target& target) { replaceKeepingAttributes(target.output, target.input); }

void finishTarget(const Target& target, std::string& cmd, const char* replacedText, const char* writtenText) {
    if (target.replace) replaceInput(target);
    cmd = target.replace ? replacedText : writtenText;
}

void writeOutput(ModuleState& m, const Target& target, const std::function<void()>& work) {
    try {
        work();
    } catch (const VbError&) {
        if (target.replace) {
            try {
                KillTheFile(m, target.output);
            } catch (const VbError&) {
                // The first failure is the one to report.
            }
        }
        throw;
    }
}

}  // namespace varkel::cipher
