#include "FolderEncryption.h"

#include "CodePage.h"
#include "Console.h"
#include "File.h"
#include "Journal.h"
#include "Library.h"
#include "LockList.h"
#include "Replacement.h"
#include "SystemFileNames.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WinPath.h"

#include <algorithm>

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

// Appends the document to the current-files list unless it is listed, case ignored: a
// document registered before a crash is not registered twice.
void registerEncrypted(const std::string& networkPath, const std::string& document) {
    const std::string list = networkPath + kFilesFile;
    shared::ListGuard guard(networkPath);  // launchers change the list too
    if (platform::fileExists(list) && shared::containsLine(list, document, shared::Case::Ignored)) return;
    shared::appendLine(list, document);
}

// A document the library could not encrypt ends the command: it and the documents after it
// stay plain and unregistered, as they were, and the journal goes so that the next start does
// not fail on it again. A document after it marked encrypted (by an earlier run) is finished.
void abandonAfter(EncryptionJournal& journal, size_t failed) {
    for (size_t j = failed + 1; j < journal.documents.size(); ++j) {
        if (!journal.encrypted[j]) continue;
        completeReplacement(journal.documents[j]);
        registerEncrypted(journal.networkPath, journal.documents[j]);
    }
    kJournal.remove();
    kJournal.wipeRemains();
}

// Document → complete scratch copy beside it → journal mark → one rename → registration.
void encryptDocument(EncryptionJournal& journal, size_t index, const EncryptionHooks& hooks) {
    const std::string& document = journal.documents[index];
    const std::string scratch = document + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::deleteFile(scratch);  // an unfinished copy
    SdkArg = commandName(document) + ' ' + commandName(scratch);
    try {
        binaryFileEnc(SdkArg);
    } catch (...) {
        if (platform::fileExists(scratch)) platform::deleteFile(scratch);
        abandonAfter(journal, index);
        throw;
    }
    stepDone(hooks, "encrypted");
    prepareReplacement(document, scratch);
    kJournal.mark(kEncryptedTag, index, document);
    journal.encrypted[index] = true;
    stepDone(hooks, "marked");
    replaceDocument(scratch, document);
    stepDone(hooks, "replaced");
    registerEncrypted(journal.networkPath, document);
    stepDone(hooks, "registered");
}

}  // namespace

bool listedIn(const std::vector<std::string>& list, const std::string& path) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& entry) { return platform::equalsIgnoreCase(entry, path); });
}

FolderPlan planFolder(const std::string& folder, const std::vector<std::string>& currentFiles) {
    FolderPlan plan;
    for (const std::string& name : platform::listFiles(folder)) {
        const std::string path = folder + name;
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

size_t runEncryption(EncryptionJournal journal, const EncryptionHooks& hooks) {
    LibraryKey key;
    key.use(journal.key);
    size_t encrypted = 0;
    for (size_t i = 0; i < journal.documents.size(); ++i) {
        const std::string& document = journal.documents[i];
        if (hooks.progress) hooks.progress(i + 1, document);
        if (journal.encrypted[i]) {
            completeReplacement(document);
            registerEncrypted(journal.networkPath, document);
        } else if (platform::fileExists(document)) {
            encryptDocument(journal, i, hooks);
        } else {
            continue;  // gone since the command began
        }
        ++encrypted;
    }
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
