#include "CycleRecord.h"

#include "File.h"
#include "SystemFiles.h"
#include "VbError.h"

#include <array>
#include <cstdio>

namespace varkel::user {
using namespace varkel::platform;

namespace {

constexpr const char* kRecordScratch = "VrkWin.jnl.tmp";
constexpr const char* kStepNames[] = {"opening", "editing", "encrypting", "written", "unlocking"};
constexpr size_t kLines = 7;
CycleStepObserver g_observer = nullptr;

std::string stepName(CycleStep step) { return kStepNames[static_cast<size_t>(step)]; }

CycleStep stepNamed(const std::string& name) {
    for (size_t i = 0; i < std::size(kStepNames); ++i)
        if (name == kStepNames[i]) return static_cast<CycleStep>(i);
    raise(kInvalidArgument, std::string(kCycleRecordFile) + ": step " + name);
}

}  // namespace

std::string fileDigest(const std::string& winPath) {
    if (!fileExists(winPath)) return {};
    const File file(winPath, OpenMode::Input);
    uint64_t hash = 14695981039346656037ULL;
    std::string block(1 << 20, '\0');
    for (uint64_t at = 0;;) {
        const size_t got = file.readAt(at, block.data(), block.size());
        if (got == 0) break;
        for (size_t i = 0; i < got; ++i) hash = (hash ^ static_cast<unsigned char>(block[i])) * 1099511628211ULL;
        at += got;
    }
    std::array<char, 17> text{};
    std::snprintf(text.data(), text.size(), "%016llx", static_cast<unsigned long long>(hash));
    return text.data();
}

void noteDocument(CycleRecord& record) {
    const bool present = fileExists(record.document);
    record.documentSize = present ? static_cast<int64_t>(fileLength(record.document)) : -1;
    record.documentDigest = present ? fileDigest(record.document) : "";
}

void writeCycleRecord(const CycleRecord& record) {
    {
        File out(kRecordScratch, OpenMode::Output, {.ownerOnly = true});
        for (const std::string& line : {stepName(record.step), record.document, record.copy,
                                        std::string(record.newDocument ? "1" : "0"),
                                        std::to_string(record.documentSize), record.documentDigest, record.copyDigest})
            out.append(line + "\r\n");
        out.sync();
        out.close();
    }
    replaceFile(kRecordScratch, kCycleRecordFile);
    syncFolderOf(kCycleRecordFile);
    if (g_observer != nullptr) g_observer(record.step);
}

void setCycleStepObserver(CycleStepObserver observer) { g_observer = observer; }

std::optional<CycleRecord> readCycleRecord() {
    if (fileExists(kRecordScratch)) deleteFile(kRecordScratch);  // a rewrite that never took place
    if (!fileExists(kCycleRecordFile)) return std::nullopt;
    const std::vector<std::string> lines = shared::readLines(kCycleRecordFile);
    if (lines.size() < kLines) raise(kInputPastEnd, kCycleRecordFile);
    CycleRecord record;
    record.step = stepNamed(lines[0]);
    record.document = lines[1];
    record.copy = lines[2];
    record.newDocument = lines[3] == "1";
    try {
        record.documentSize = std::stoll(lines[4]);
    } catch (const std::exception&) {
        raise(kInvalidArgument, std::string(kCycleRecordFile) + ": size " + lines[4]);
    }
    record.documentDigest = lines[5];
    record.copyDigest = lines[6];
    return record;
}

void removeCycleRecord() {
    if (fileExists(kCycleRecordFile)) deleteFile(kCycleRecordFile);
    syncFolderOf(kCycleRecordFile);
}

}  // namespace varkel::user
