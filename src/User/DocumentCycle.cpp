#include "DocumentCycle.h"

#include "CopyBack.h"
#include "CycleRecord.h"
#include "EditingWait.h"
#include "File.h"
#include "Launcher.h"
#include "LockList.h"
#include "SystemFileNames.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"

#include <filesystem>
#include <optional>

namespace varkel::user {
using namespace varkel::platform;

namespace {

const std::string kConsult = "  Please consult with the System Administrator about this problem.";
// A copy saved again and again while it is encrypted is taken as it is after this many rounds.
constexpr int kEncryptRounds = 5;

std::string reason(const std::exception& e) { return e.what(); }

std::string inWorkingFolder(const std::string& name) { return joinPath(currentFolder(), name); }

// Whether a name in the working folder is taken by anything, a symbolic link included.
bool nameTaken(const std::string& name) {
    std::error_code ec;
    return std::filesystem::symlink_status(hostPath(name), ec).type() != std::filesystem::file_type::not_found;
}

class Cycle {
public:
    Cycle(const CycleRequest& request, CycleHost& host) : r_(request), host_(host) { name(request.document); }

    CycleEnd run(KeySetup& keys);

private:
    void name(const std::string& document) {
        document_ = document;
        bare_ = bareNameOf(document);
        work_ = r_.newDocument ? r_.newName : bare_;
        record_.document = document_;
        record_.copy = work_;
        record_.newDocument = r_.newDocument;
    }
    std::optional<CycleEnd> refusal();
    std::optional<CycleEnd> notADocument();
    void open(KeySetup& keys);
    void useCurrentKey(KeySetup& keys);
    CycleEnd finish();
    void note(CycleStep step) {
        record_.step = step;
        writeCycleRecord(record_);
    }
    void unlockQuietly();
    CycleEnd failBeforeEditing(const std::exception& e);
    CycleEnd keepEncryptedAndReport(const std::string& why);
    _SDK& sdk() {
        if (!sdk_) sdk_.emplace();
        return **sdk_;
    }

    const CycleRequest& r_;
    CycleHost& host_;
    std::string document_;  // canonical once the name has been checked
    bool inside_ = false;   // the document lies inside the network folder
    std::string bare_;
    std::string work_;
    CycleRecord record_;
    FileStamp opened_;  // the working copy as the application got it
    std::optional<SdkObject> sdk_;
    bool locked_ = false;
};

CycleEnd Cycle::run(KeySetup& keys) {
    try {
        if (auto refused = refusal()) return *refused;
    } catch (const std::exception& e) {
        host_.message("The document " + r_.document + " could not be opened (" + reason(e) +
                      ").  It has not been changed.");
        return CycleEnd::Failed;
    }
    try {
        open(keys);
    } catch (const std::exception& e) {
        return failBeforeEditing(e);
    }
    if (!locked_) return CycleEnd::InUse;

    EditingWatch watch;  // made before the start, so that it sees all the program leaves behind
    int32_t pid = 0;
    try {
        host_.AddToList("Launching application");
        pid = watch.start(r_.location + " " + quotedName(work_));
    } catch (const std::exception& e) {
        return failBeforeEditing(e);
    }
    host_.AddToList("...Waiting for termination...");
    waitUntilEditingEnds(watch, pid, EditedCopy{work_, bare_, opened_}, r_.times, host_,
                         [this] { shared::showHolderAlive(r_.networkPath, document_); });
    return finish();
}

// What refuses a cycle before anything is touched.
std::optional<CycleEnd> Cycle::refusal() {
    // A path without a name to work on (a folder followed by nothing) is refused the same way.
    if (r_.document.find('.') == std::string::npos || bare_.empty() || work_.empty()) {
        host_.message(kNoExtensionMessage);
        return CycleEnd::NoExtension;
    }
    // Every spelling of a document locks and registers under one name.
    const CanonicalPath canonical = canonicalPath(r_.document, r_.networkPath);
    name(canonical.path);
    inside_ = canonical.inside;
    for (const std::string& file : {bare_, bareNameOf(work_)}) {
        if (const auto role = shared::systemFileRole(file)) {
            host_.message(systemFileMessage(document_, *role));
            return CycleEnd::SystemFile;
        }
    }
    if (r_.newDocument && nameTaken(document_)) {
        host_.message(existsMessage(r_.document));
        return CycleEnd::Exists;
    }
    for (const std::string& name : {work_, std::string(kEncryptedResult)}) {
        if (nameTaken(name)) {
            host_.message("\"" + name + "\" from an earlier session is still in the working folder " + currentFolder() +
                          ".  It has been left as it is and nothing was opened." + kConsult);
            return CycleEnd::Leftover;
        }
    }
    return notADocument();
}

// A file that the network folder does not keep encrypted is opened only when the user says so.
std::optional<CycleEnd> Cycle::notADocument() {
    const std::string files = r_.networkPath + shared::kFilesFile;
    const bool registered =
        inside_ && (r_.newDocument || (fileExists(files) && shared::containsLine(files, document_, shared::Case::Ignored)));
    if (registered || host_.ask(notADocumentQuestion(document_))) return std::nullopt;
    return CycleEnd::NotADocument;
}

// The key in key.dat, set up when the administrator has changed it since the last cycle.
void Cycle::useCurrentKey(KeySetup& keys) {
    std::string key;
    try {
        key = readCurrentKey(r_.networkPath);
    } catch (const VbError&) {
        key = keys.key();  // no readable key.dat: the key set up at start-up stays
    }
    if (!key.empty() && key != keys.key()) {
        host_.AddToList("The key has changed: setting up the new key");
        keys.setUp(key);
    }
}

// The lock, the key, the registration and the working copy.
void Cycle::open(KeySetup& keys) {
    host_.AddToList("Locking " + bare_);
    if (shared::lockDocument(r_.networkPath, document_) == shared::LockResult::InUse) {
        host_.AddToList("...Lock unsuccessful");
        host_.message(kInUseMessage);
        return;
    }
    locked_ = true;
    host_.AddToList("...Lock successful");
    // The key is read once the lock is held: a conversion to a new key cannot start while a
    // registered document is locked, so the key read now is the key the document is under.
    useCurrentKey(keys);
    shared::registerDocument(r_.networkPath, document_);

    noteDocument(record_);
    note(CycleStep::Opening);
    if (!r_.newDocument) {
        host_.AddToList("Decrypting " + bare_);
        std::string SdkArg = quotedName(document_) + " " + quotedName(bare_);
        callLibrary(sdk(), &_SDK::VrkBinaryFileDec, "VrkBinaryFileDec", SdkArg);
    } else {
        TextWriter copy(work_, OpenMode::Output, {.ownerOnly = true});
        copy.printLine(" ");
        copy.close();
    }
    record_.copyDigest = fileDigest(work_);
    opened_ = stampOf(work_);
    note(CycleStep::Editing);
}

// Encrypts the copy and writes it back; a save that lands meanwhile is encrypted again.
CycleEnd Cycle::finish() {
    host_.AddToList("Encrypting " + bare_);
    for (int round = 1;; ++round) {
        std::string encrypted;
        try {
            note(CycleStep::Encrypting);
            const FileStamp before = stampOf(work_);
            encrypted = fileDigest(work_);
            encryptCopy(sdk(), work_);
            if (stampOf(work_) != before && round < kEncryptRounds) {
                host_.AddToList("Encrypting " + bare_ + " again: it was saved meanwhile");
                continue;
            }
        } catch (const std::exception& e) {
            host_.message("Your changes to " + document_ + " could not be encrypted (" + reason(e) + ").  They are in " +
                          inWorkingFolder(work_) + ", which is not encrypted, and the document stays locked." + kConsult);
            return CycleEnd::Failed;
        }
        bool written = false;
        try {
            written = writeBack(document_, record_.newDocument);
        } catch (const std::exception& e) {
            return keepEncryptedAndReport(reason(e));
        }
        if (!written) return keepEncryptedAndReport("a file of that name was made meanwhile");
        record_.newDocument = false;  // from now on the document exists: later rounds replace it
        record_.copyDigest = encrypted;
        noteDocument(record_);
        note(CycleStep::Written);
        if (fileDigest(work_) == encrypted || round >= kEncryptRounds) break;
        host_.AddToList("Encrypting " + bare_ + " again: it was saved meanwhile");
    }
    // Recorded first: a copy that a crash leaves half wiped must never be taken for an edit.
    note(CycleStep::Unlocking);
    wipe(sdk(), work_);
    try {
        host_.AddToList("Unlocking " + bare_);
        shared::unlockDocument(r_.networkPath, document_);
    } catch (const std::exception& e) {
        host_.message("Your changes to " + document_ + " were saved, but the document could not be unlocked (" +
                      reason(e) + ")." + kConsult);
        return CycleEnd::Failed;
    }
    removeCycleRecord();
    return CycleEnd::Done;
}

void Cycle::unlockQuietly() {
    if (!locked_) return;
    try {
        shared::unlockDocument(r_.networkPath, document_);
    } catch (const std::exception&) {
        // The message already asks for the administrator, who can clear the lock.
    }
}

// Nothing was edited yet: the plaintext goes, the lock is released, the document is unchanged.
CycleEnd Cycle::failBeforeEditing(const std::exception& e) {
    try {
        if (locked_) note(CycleStep::Unlocking);
        wipe(sdk(), work_);
        if (locked_) removeCycleRecord();
    } catch (const std::exception&) {
    }
    unlockQuietly();
    host_.message("The document " + document_ + " could not be opened (" + reason(e) + ").  It has not been changed.");
    return CycleEnd::Failed;
}

// The write-back failed: the encrypted result is kept under a name of its own (beside the
// document, else in the working folder), the plaintext is wiped, and the lock stays so that
// nobody edits the older document meanwhile.
CycleEnd Cycle::keepEncryptedAndReport(const std::string& why) {
    std::string kept;
    try {
        try {
            kept = keepEncrypted(document_);
        } catch (const std::exception&) {
            kept = inWorkingFolder(keepEncrypted(work_));
        }
        removeCycleRecord();  // the edits are safe in `kept`; the lock stays
        wipe(sdk(), work_);
    } catch (const std::exception&) {
        kept = inWorkingFolder(fileExists(kEncryptedResult) ? kEncryptedResult : work_);
    }
    host_.message("Your changes to " + document_ + " could not be written back (" + why +
                  ").  They are kept encrypted in " + kept + ", and the document stays locked." + kConsult);
    return CycleEnd::Failed;
}

}  // namespace

std::string systemFileMessage(const std::string& document, std::string_view role) {
    return document + " is " + std::string(role) +
           ", one of the system's own files.  It is never opened as a document; nothing has been changed.";
}

std::string notADocumentQuestion(const std::string& document) {
    return document + " is not one of the network folder's encrypted documents.  Open it anyway?";
}

std::string existsMessage(const std::string& document) {
    return document + " already exists.  Please choose another name for the new document; nothing has been written.";
}

std::string bareNameOf(const std::string& document) {
    const size_t cut = document.rfind('\\');
    return cut == std::string::npos ? document : document.substr(cut + 1);
}

CycleEnd runCycle(const CycleRequest& request, KeySetup& keys, CycleHost& host) { return Cycle(request, host).run(keys); }

}  // namespace varkel::user
