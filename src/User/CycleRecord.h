// The record a document cycle keeps in the working folder, so that a launcher that was killed
// in the middle of a cycle can finish it at its next start without losing an edit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace varkel::user {

inline constexpr const char* kCycleRecordFile = "VrkWin.jnl";

// How far the cycle got. Every step that reaches the disk is recorded before it starts.
enum class CycleStep {
    Opening,     // locked; the working copy is being decrypted (or created): not to be trusted
    Editing,     // the working copy holds what was decrypted, and the application may change it
    Encrypting,  // the copy is being encrypted and written back
    Written,     // the document holds the encrypted copy as it was when encryption began
    Unlocking,   // the copy is wiped; only the lock remains to be removed
};

struct CycleRecord {
    CycleStep step = CycleStep::Opening;
    std::string document;  // the document path
    std::string copy;      // the working copy's name in the working folder
    bool newDocument = false;
    // The document as it was last seen by the cycle: size (-1 when missing) and digest.
    int64_t documentSize = -1;
    std::string documentDigest;
    // The digest of the working copy's content as last decrypted or encrypted.
    std::string copyDigest;
};

// A digest of a file's bytes (a 64-bit FNV-1a, in hexadecimal); empty when it is missing.
std::string fileDigest(const std::string& winPath);
// The document's size and digest, into the record.
void noteDocument(CycleRecord& record);

// Writes the record anew, owner-only, flushed, in one rename, so that a crash leaves the old
// record or the new one.
void writeCycleRecord(const CycleRecord& record);
// The record left in the working folder; nothing when there is none. A record that cannot be
// read (cut short) raises VbError.
std::optional<CycleRecord> readCycleRecord();
void removeCycleRecord();

// Sees each step as soon as it is recorded (for tests that end the launcher at that moment).
using CycleStepObserver = void (*)(CycleStep step);
void setCycleStepObserver(CycleStepObserver observer);

}  // namespace varkel::user
