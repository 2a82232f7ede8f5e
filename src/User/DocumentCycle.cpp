#include "DocumentCycle.h"

#include "File.h"
#include "Launcher.h"
#include "LockList.h"
#include "Process.h"
#include "VbError.h"
#include "WinPath.h"

#include <chrono>
#include <thread>

namespace varkel::user {
using namespace varkel::platform;

namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(50);
const std::string kConsult = "  Please consult with the System Administrator about this problem.";

std::string reason(const std::exception& e) { return e.what(); }


// A name in the working folder that is not taken yet, for an encrypted copy kept for the user.
std::string freeName(const std::string& base) {
    std::string name = base + ".vrk";
    for (int n = 2; fileExists(name); ++n) name = base + "." + std::to_string(n) + ".vrk";
    return name;
}

std::string inWorkingFolder(const std::string& name) { return joinPath(currentFolder(), name); }

class Cycle {
public:
    Cycle(const CycleRequest& request, CycleHost& host)
        : r_(request), host_(host), bare_(bareNameOf(request.document)),
          work_(request.newDocument ? request.newName : bare_) {}

    CycleEnd run(KeySetup& keys);

private:
    void wipeWorkingCopy();
    void unlockQuietly();
    CycleEnd failBeforeEditing(const std::exception& e);
    CycleEnd keepEncrypted(const std::exception& e);
    void call(SdkCall op, std::string_view name, std::string arg) { callLibrary(**sdk_, op, name, arg); }

    const CycleRequest& r_;
    CycleHost& host_;
    std::string bare_;
    std::string work_;
    std::optional<SdkObject> sdk_;
    bool locked_ = false;
};

CycleEnd Cycle::run(KeySetup& keys) {
    // A path without a name to work on (a folder followed by nothing) is refused the same way.
    if (r_.document.find('.') == std::string::npos || bare_.empty() || work_.empty()) {
        host_.message(kNoExtensionMessage);
        return CycleEnd::NoExtension;
    }
    for (const std::string& name : {work_, std::string(kEncryptedResult)}) {
        if (fileExists(name)) {
            host_.message("\"" + name + "\" from an earlier session is still in the working folder " + currentFolder() +
                          ".  It has been left as it is and nothing was opened." + kConsult);
            return CycleEnd::Leftover;
        }
    }
    try {
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

        host_.AddToList("Locking " + bare_);
        if (shared::lockDocument(r_.networkPath, r_.document) == shared::LockResult::InUse) {
            host_.AddToList("...Lock unsuccessful");
            host_.message(kInUseMessage);
            return CycleEnd::InUse;
        }
        locked_ = true;
        host_.AddToList("...Lock successful");
        shared::registerDocument(r_.networkPath, r_.document);

        sdk_.emplace();
        if (!r_.newDocument) {
            host_.AddToList("Decrypting " + bare_);
            call(&_SDK::VrkBinaryFileDec, "VrkBinaryFileDec", quotedName(r_.document) + " " + quotedName(bare_));
        } else {
            TextWriter copy(work_, OpenMode::Output, {.ownerOnly = true});
            copy.printLine(" ");
            copy.close();
        }
    } catch (const std::exception& e) {
        return failBeforeEditing(e);
    }

    int32_t pid = 0;
    try {
        host_.AddToList("Launching application");
        pid = startProcess(r_.location + " " + quotedName(work_));
    } catch (const std::exception& e) {
        return failBeforeEditing(e);
    }
    host_.AddToList("...Waiting for termination...");
    while (host_.Inst(pid)) {
        host_.keepPainting();
        std::this_thread::sleep_for(kPollInterval);
    }

    try {
        host_.AddToList("Encrypting " + bare_);
        call(&_SDK::VrkBinaryFileEnc, "VrkBinaryFileEnc", quotedName(work_) + " " + kEncryptedResult);
    } catch (const std::exception& e) {
        host_.message("Your changes to " + r_.document + " could not be encrypted (" + reason(e) + ").  They are in " +
                      inWorkingFolder(work_) + ", which is not encrypted, and the document stays locked." + kConsult);
        return CycleEnd::Failed;
    }
    try {
        // Written beside the document and renamed over it, so the document is whole at every moment.
        const std::string beside = r_.document + ".vrknew";
        platform::copyFile(kEncryptedResult, beside, true);  // on the disk before it replaces the document
        replaceFile(beside, r_.document);
        deleteFile(kEncryptedResult);
    } catch (const std::exception& e) {
        return keepEncrypted(e);
    }
    wipeWorkingCopy();

    try {
        host_.AddToList("Unlocking " + bare_);
        shared::unlockDocument(r_.networkPath, r_.document);
    } catch (const std::exception& e) {
        host_.message("Your changes to " + r_.document + " were saved, but the document could not be unlocked (" +
                      reason(e) + ")." + kConsult);
        return CycleEnd::Failed;
    }
    return CycleEnd::Done;
}

void Cycle::wipeWorkingCopy() {
    if (!fileExists(work_)) return;
    try {
        if (!sdk_) sdk_.emplace();
        call(&_SDK::VrkKillFile, "VrkKillFile", work_);
    } catch (const std::exception&) {
        deleteFile(work_);
    }
}

void Cycle::unlockQuietly() {
    if (!locked_) return;
    try {
        shared::unlockDocument(r_.networkPath, r_.document);
    } catch (const std::exception&) {
        // The message already asks for the administrator, who can clear the lock.
    }
}

// Nothing was edited yet: the plaintext goes, the lock is released, the document is unchanged.
CycleEnd Cycle::failBeforeEditing(const std::exception& e) {
    try {
        wipeWorkingCopy();
    } catch (const std::exception&) {
    }
    unlockQuietly();
    host_.message("The document " + r_.document + " could not be opened (" + reason(e) + ").  It has not been changed.");
    return CycleEnd::Failed;
}

// The write-back failed: the encrypted result is kept in the working folder under a name of its
// own, the plaintext is wiped, and the lock stays so nobody edits the older document meanwhile.
CycleEnd Cycle::keepEncrypted(const std::exception& e) {
    std::string kept;
    try {
        kept = freeName(work_);
        renameFile(kEncryptedResult, kept);
        wipeWorkingCopy();
        kept = inWorkingFolder(kept);
    } catch (const std::exception&) {
        kept = inWorkingFolder(fileExists(kEncryptedResult) ? kEncryptedResult : work_);
    }
    host_.message("Your changes to " + r_.document + " could not be written back (" + reason(e) +
                  ").  They are kept encrypted in " + kept + ", and the document stays locked." + kConsult);
    return CycleEnd::Failed;
}

}  // namespace

std::string bareNameOf(const std::string& document) {
    const size_t cut = document.rfind('\\');
    return cut == std::string::npos ? document : document.substr(cut + 1);
}

CycleEnd runCycle(const CycleRequest& request, KeySetup& keys, CycleHost& host) { return Cycle(request, host).run(keys); }

}  // namespace varkel::user
