#include "Recovery.h"

#include "CopyBack.h"
#include "CycleRecord.h"
#include "EditingWatch.h"
#include "File.h"
#include "LockList.h"
#include "VarkelSDK.h"
#include "WinPath.h"

namespace varkel::user {
using namespace varkel::platform;

namespace {

bool documentAsRecorded(const CycleRecord& record) {
    CycleRecord now = record;
    noteDocument(now);
    return now.documentSize == record.documentSize && now.documentDigest == record.documentDigest;
}

// Takes edits the cycle had not encrypted yet into the document; says what became of them.
std::string saveEdits(_SDK& sdk, CycleRecord& record) {
    if (record.step == CycleStep::Unlocking) return "Your changes were saved into it.";
    if (record.step == CycleStep::Opening || !fileExists(record.copy)) return "It has not been changed.";
    const std::string digest = fileDigest(record.copy);
    if (digest == record.copyDigest) {
        return record.step == CycleStep::Written ? "Your changes were saved into it." : "It has not been changed.";
    }
    encryptCopy(sdk, record.copy);
    // A crash between the rename over the document and its record leaves the document done.
    if (fileDigest(record.document) == fileDigest(kEncryptedResult)) return "Your changes were saved into it.";
    if (documentAsRecorded(record)) {
        try {
            if (writeBack(record.document, record.newDocument)) {
                record.newDocument = false;
                record.copyDigest = digest;
                noteDocument(record);
                record.step = CycleStep::Written;
                writeCycleRecord(record);
                return "Your last saved changes were encrypted back into it.";
            }
        } catch (const std::exception&) {
            // kept beside it, below
        }
    }
    std::string kept;
    try {
        kept = keepEncrypted(record.document);
    } catch (const std::exception&) {
        kept = joinPath(currentFolder(), keepEncrypted(record.copy));
    }
    record.step = CycleStep::Unlocking;  // the edits are safe: never kept twice
    writeCycleRecord(record);
    return "It changed meanwhile, so your last saved changes are kept encrypted in " + kept + ".";
}

void removeIfThere(const std::string& name) {
    if (fileExists(name)) deleteFile(name);
}

}  // namespace

std::optional<std::string> recoverInterruptedCycle(const std::string& networkPath) {
    std::optional<CycleRecord> record;
    try {
        record = readCycleRecord();
    } catch (const std::exception& e) {
        return std::string("The record of an interrupted document cycle in the working folder could not be read (") +
               e.what() + ").  It has been left as it is.  Please consult with the System Administrator about this problem.";
    }
    if (!record) return std::nullopt;
    // The application may outlive the launcher: its copy is taken back only once it is closed.
    if (record->step != CycleStep::Opening && record->step != CycleStep::Unlocking && fileExists(record->copy)) {
        if (const auto who = stillOpenIn(record->copy)) {
            return "The launcher was ended while " + record->document + " was open, and it is still open in " + *who +
                   ".  Save it, close it there, then start the launcher again: your changes are taken back then.";
        }
    }
    SdkObject sdk;
    std::string outcome;
    try {
        outcome = saveEdits(*sdk, *record);
    } catch (const std::exception& e) {
        return "The launcher was ended while " + record->document + " was open, and the changes in " +
               joinPath(currentFolder(), record->copy) + " could not be taken back (" + e.what() +
               ").  They have been left as they are.  Please consult with the System Administrator about this problem.";
    }
    // Recorded first: a copy that a crash leaves half wiped must never be taken for an edit.
    record->step = CycleStep::Unlocking;
    writeCycleRecord(*record);
    wipe(*sdk, record->copy);
    removeIfThere(kEncryptedResult);
    removeIfThere(record->document + ".vrknew");  // a write-back that did not get to its rename
    std::string unlock;
    try {
        shared::unlockDocument(networkPath, record->document);
        removeCycleRecord();
    } catch (const std::exception& e) {
        unlock = std::string("  It could not be unlocked (") + e.what() + "); the next start tries again.";
    }
    return "The launcher was ended while " + record->document + " was open.  " + outcome + unlock;
}

}  // namespace varkel::user
