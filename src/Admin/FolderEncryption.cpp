#include "FolderEncryption.h"

#include "CodePage.h"
#include "DocumentContent.h"
#include "Console.h"
#include "DocumentPipeline.h"
#include "File.h"
#include "Journal.h"
#include "Library.h"
#include "LockList.h"
#include "MemoryFile.h"
#include "Replacement.h"
#include "SystemFileNames.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"
#include "WorkingCopies.h"

#include <chrono>
#include <optional>

namespace varkel::admin {
namespace {

const Journal kJournal(kEncryptJournalFile, "Encrypt.tmp", "Varkel folder encryption");
constexpr const char* kEncryptedTag = "encrypted";

std::string files(size_t n) { return std::to_string(n) + (n == 1 ? " file" : " files"); }

std::string leftOutParts(const FolderPlan& plan) {
    std::string text;
    if (!plan.registered.empty()) text += files(plan.registered.size()) + " already in Current Files";
    if (!plan.systemFiles.empty()) {
        if (!text.empty()) text += ", ";
        text += files(plan.systemFiles.size()) + " of the system itself";
    }
    return text;
}

void stepDone(const EncryptionHooks& hooks, std::string_view step) {
    if (hooks.afterStep) hooks.afterStep(step);
}

// Encrypted documents waiting to be registered. Each change of the current-files list on a
// network share costs several round trips to the server (the guard, reading the list,
// appending), so documents are registered together: when a batch is full, when the first of
// it has waited long enough, and at the end. A document waiting here is marked in the
// journal, so a crash leaves it to be registered at the next start. A document already
// listed, in any letter case, is not registered twice.
class Registrations {
public:
    Registrations(std::string networkPath, RegistrationBatch batch, const EncryptionHooks& hooks)
        : networkPath_(std::move(networkPath)), batch_(batch), hooks_(hooks) {}

    void add(const std::string& document) {
        const auto now = std::chrono::steady_clock::now();
        if (pending_.empty()) firstAt_ = now;
        pending_.push_back(document);
        if (pending_.size() >= batch_.documents || now - firstAt_ >= batch_.wait) flush();
    }

    void flush() {
        if (pending_.empty()) return;
        shared::registerDocuments(networkPath_, pending_, shared::Case::Ignored);  // launchers change the list too
        pending_.clear();
        stepDone(hooks_, "registered");
    }

private:
    std::string networkPath_;
    RegistrationBatch batch_;
    const EncryptionHooks& hooks_;
    std::vector<std::string> pending_;
    std::chrono::steady_clock::time_point firstAt_;
};

// A document that could not be read or encrypted ends the command: it and the documents not
// yet started stay plain and unregistered, as they were, and the journal goes so that the next
// start does not fail on it again. The documents before it, and any already under way, are
// encrypted and registered.
void abandon(Registrations& registrations) {
    registrations.flush();
    kJournal.remove();
    kJournal.wipeRemains();
}

// Where the library reads a document's plain content from: a file in memory, so that the
// plaintext never reaches a disk, where the system offers one; otherwise the plain working copy,
// wiped with the library's secure deletion.
class PlainInput {
public:
    explicit PlainInput(bool inMemory)
        : memory_(inMemory ? platform::MemoryFile::create() : std::nullopt) {}
    // Holds `plain` and gives the name to read it under.
    std::string hold(std::string_view plain) {
        if (!memory_) {
            writeWorkingCopy(kPlainCopy, plain);
            return kPlainCopy;
        }
        memory_->write(plain);
        return memory_->name();
    }
    void wipe() {
        if (memory_)
            memory_->wipe();
        else
            Journal::wipe(kPlainCopy);
    }

private:
    std::optional<platform::MemoryFile> memory_;
};

// Its encrypted content, made from the plain content through the plain input and the
// encrypted working copy.
std::string encryptedContent(std::string& plain, PlainInput& input, const EncryptionHooks& hooks) {
    SdkArg = commandName(input.hold(plain)) + ' ' + kCipherCopy;
    platform::wipe(plain);
    stepDone(hooks, "plain copy written");
    try {
        binaryFileEnc(SdkArg);
    } catch (const platform::VbError& error) {
        input.wipe();
        removeWorkingCopies();
        throw DocumentFailed{error};
    }
    stepDone(hooks, "encrypted");
    input.wipe();
    stepDone(hooks, "plain copy wiped");
    return takeWorkingCopy(kCipherCopy);
}

void markEncrypted(EncryptionJournal& journal, size_t index, const EncryptionHooks& hooks) {
    stepDone(hooks, "written");
    kJournal.mark(kEncryptedTag, index, journal.documents[index]);
    journal.encrypted[index] = true;
    stepDone(hooks, "marked");
}

// A document that is a link, or too large to be read whole: the library encrypts it into a
// scratch file beside it → journal mark → one rename.
void encryptByName(EncryptionJournal& journal, size_t index, const EncryptionHooks& hooks) {
    const std::string& document = journal.documents[index];
    const std::string scratch = document + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::deleteFile(scratch);  // an unfinished copy
    SdkArg = commandName(document) + ' ' + commandName(scratch);
    try {
        binaryFileEnc(SdkArg);
    } catch (const platform::VbError& error) {
        if (platform::fileExists(scratch)) platform::deleteFile(scratch);
        throw DocumentFailed{error};
    }
    stepDone(hooks, "encrypted");
    prepareReplacement(scratch);
    markEncrypted(journal, index, hooks);
    replaceDocument(scratch, document);
    stepDone(hooks, "replaced");
}

}  // namespace

bool listedIn(const std::vector<std::string>& list, const std::string& path) {
    return shared::listsEntry(list, path, shared::Case::Ignored);
}

FolderPlan planFolder(const std::string& folder, const std::string& networkPath,
                      const std::vector<std::string>& currentFiles) {
    FolderPlan plan;
    const std::string named = shared::withTrailingBackslash(platform::canonicalPath(folder, networkPath).path);
    for (const std::string& name : platform::listFiles(folder)) {
        const std::string path = named + name;
        if (shared::isSystemFileName(name))
            plan.systemFiles.push_back(path);
        else
            (listedIn(currentFiles, path) ? plan.registered : plan.toEncrypt).push_back(path);
    }
    return plan;
}

std::string leftOutNote(const FolderPlan& plan) {
    const std::string parts = leftOutParts(plan);
    return parts.empty() ? std::string() : " (left out: " + parts + ")";
}

std::string nothingToEncryptMessage(const std::string& folder, const FolderPlan& plan) {
    const std::string parts = leftOutParts(plan);
    return "There is nothing left to encrypt in " + folder + "." +
           (parts.empty() ? std::string("  It holds no files.") : "  Left out: " + parts + ".");
}

std::string encryptedMessage(const std::string& folder, size_t encrypted, const FolderPlan& plan) {
    const std::string parts = leftOutParts(plan);
    return files(encrypted) + " in " + folder + (encrypted == 1 ? " was" : " were") +
           " encrypted and added to Current Files." + (parts.empty() ? std::string() : "  Left out: " + parts + ".");
}

std::string commandName(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : '"' + path + '"';
}

EncryptionJournal beginEncryption(const std::string& networkPath, const std::string& key,
                                  const std::vector<std::string>& documents) {
    EncryptionJournal journal{networkPath, key, documents, std::vector<bool>(documents.size(), false)};
    std::vector<std::pair<std::string, std::string>> lines = {{"network", networkPath}, {"key", key}};
    for (const auto& document : documents) lines.emplace_back("document", document);
    kJournal.write(lines);
    return journal;
}

size_t runEncryption(EncryptionJournal journal, const EncryptionHooks& hooks, const EncryptionOptions& options) {
    removeWorkingCopies();  // plaintext a killed run left behind
    LibraryKey key;
    key.use(journal.key);
    Registrations registrations(journal.networkPath, options.registrations, hooks);
    size_t encrypted = 0;
    const auto progress = [&](size_t index) {
        if (hooks.progress) hooks.progress(index + 1, journal.documents[index]);
    };
    // Documents an interrupted run finished: a copy may still wait beside one.
    std::vector<size_t> order;
    for (size_t i = 0; i < journal.documents.size(); ++i) {
        if (!journal.encrypted[i]) {
            order.push_back(i);
            continue;
        }
        progress(i);
        completeReplacement(journal.documents[i]);
        registrations.add(journal.documents[i]);
        ++encrypted;
    }
    std::optional<platform::VbError> failure;
    PlainInput input(options.plainInMemory);
    PipelineSteps steps;
    steps.newContent = [&](size_t index, std::string& plain) {
        progress(index);
        return encryptedContent(plain, input, hooks);
    };
    steps.byName = [&](size_t index) {
        progress(index);
        encryptByName(journal, index, hooks);
    };
    steps.written = [&](size_t index) { markEncrypted(journal, index, hooks); };
    steps.placed = [&](size_t) { stepDone(hooks, "replaced"); };
    steps.finished = [&](size_t index) {
        registrations.add(journal.documents[index]);
        ++encrypted;
    };
    steps.failed = [&](size_t, const platform::VbError& error) {
        failure = error;
        return false;
    };
    runPipeline(journal.documents, order, steps, options.pipeline);
    if (failure) {
        abandon(registrations);
        throw *failure;
    }
    registrations.flush();
    kJournal.remove();
    stepDone(hooks, "journal removed");
    kJournal.wipeRemains();
    return encrypted;
}

std::optional<EncryptionJournal> findInterruptedEncryption() {
    const auto lines = kJournal.interrupted();
    if (!lines) return std::nullopt;
    EncryptionJournal journal;
    std::vector<std::string> marks;
    for (const auto& [tag, value] : *lines) {
        if (tag == "network") journal.networkPath = value;
        else if (tag == "key") journal.key = value;
        else if (tag == "document") journal.documents.push_back(value);
        else if (tag == kEncryptedTag) marks.push_back(value);
    }
    if (journal.networkPath.empty() || journal.key.empty())
        platform::raise(platform::kInvalidArgument, kEncryptJournalFile);
    journal.encrypted = Journal::marked(marks, journal.documents);
    return journal;
}

}  // namespace varkel::admin
