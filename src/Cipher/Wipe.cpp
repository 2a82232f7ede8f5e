// Secure deletion: five passes of blank records, each flushed to disk before the delete.
#include "Command.h"
#include "FileWork.h"
#include "Operations.h"

#include <algorithm>

namespace varkel::cipher {
using namespace varkel::platform;

namespace {

// length / 1000 + 1, rounded with halves to the even neighbour; always covers the file.
uint64_t blankRecordCount(uint64_t length) {
    const uint64_t whole = length / kRecordLength + 1;
    const uint64_t rest = length % kRecordLength;
    if (rest * 2 < kRecordLength) return whole;
    if (rest * 2 > kRecordLength) return whole + 1;
    return whole % 2 == 0 ? whole : whole + 1;
}

void wipePass(const std::string& kf) {
    RecordFile file(kf, kRecordLength, kOwnerOnly);
    const uint64_t total = blankRecordCount(file.length()) * kRecordLength;
    const std::string blanks(std::min<uint64_t>(total, kChunkSize / kRecordLength * kRecordLength), ' ');
    for (uint64_t offset = 0; offset < total; offset += blanks.size()) {
        const uint64_t size = std::min<uint64_t>(blanks.size(), total - offset);
        file.file().writeAt(offset, blanks.data(), static_cast<size_t>(size));
    }
    file.file().sync();
    file.close();
    deleteFile(kf);
}

}  // namespace

void KillTheFile(ModuleState&, const std::string& kf) {
    for (int pass = 1; pass <= 5; ++pass) wipePass(kf);
}

void VrkKillFile(ModuleState& m, std::string& cmd) { KillTheFile(m, trimTrailingBlanks(cmd)); }

}  // namespace varkel::cipher
