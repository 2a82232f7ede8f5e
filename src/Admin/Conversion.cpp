#include "Conversion.h"

#include "CodePage.h"
#include "Console.h"
#include "File.h"
#include "FolderEncryption.h"
#include "Library.h"
#include "LockList.h"
#include "SystemFiles.h"
#include "VbError.h"

#include <algorithm>

namespace varkel::admin {

namespace {

constexpr const char* kJournalHeader = "Varkel key conversion";
constexpr const char* kJournalScratch = "Convert.tmp";

bool onDriveC(const std::string& path) { return path.size() >= 2 && platform::toLower(path.substr(0, 2)) == "c:"; }

// ---- The journal: written whole by one rename, then one appended line per converted document.

std::string convertedLine(size_t index, const std::string& document) {
    return "converted " + std::to_string(index) + ' ' + document;
}

void writeJournal(const ConversionJournal& journal) {
    std::string text = std::string(kJournalHeader) + "\r\n";
    auto add = [&](const char* tag, const std::string& value) { text += std::string(tag) + ' ' + value + "\r\n"; };
    add("network", journal.networkPath);
    add("old", journal.oldKey);
    add("new", journal.newKey);
    for (const auto& entry : journal.entries) add("entry", entry);
    for (const auto& document : journal.documents) add("document", document);
    for (const auto& document : journal.inUse) add("in-use", document);
    for (size_t i = 0; i < journal.documents.size(); ++i)
        if (journal.converted[i]) text += convertedLine(i, journal.documents[i]) + "\r\n";
    platform::File out(kJournalScratch, platform::OpenMode::Output, {.ownerOnly = true});
    out.append(text);
    out.sync();
    out.close();
    platform::replaceFile(kJournalScratch, kJournalFile);
}

void markConverted(ConversionJournal& journal, size_t index) {
    platform::File out(kJournalFile, platform::OpenMode::Append);
    out.append(convertedLine(index, journal.documents[index]) + "\r\n");
    out.sync();
    out.close();
    journal.converted[index] = true;
}

// A "converted" line counts only when it is whole: a line cut short by a crash names no
// document or another one.
void readConvertedLine(ConversionJournal& journal, const std::string& value) {
    const size_t blank = value.find(' ');
    if (blank == std::string::npos || blank == 0) return;
    const std::string number = value.substr(0, blank);
    if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) return;
    const size_t index = std::stoul(number);
    if (index < journal.documents.size() && journal.documents[index] == value.substr(blank + 1))
        journal.converted[index] = true;
}

// The key material in the journal and the plain copy are overwritten before they go.
void wipe(const char* workingFile) {
    if (!platform::fileExists(workingFile)) return;
    SdkArg = workingFile;
    killFile(SdkArg);
}

// Replaces a list file by one rename, so that a reader never sees half of it.
void replaceLines(const std::string& path, const std::vector<std::string>& lines) {
    const std::string scratch = path + kScratchSuffix;
    shared::writeLines(scratch, lines);
    platform::replaceFile(scratch, path);
}

// The key the library is set up with; set-ups happen only when the key changes.
class LibraryKey {
public:
    void use(const std::string& key) {
        if (key == current_) return;
        current_.clear();
        SdkArg = key;
        genBinaryKeys(SdkArg);
        current_ = key;
    }

private:
    std::string current_;
};

void report(const ConversionHooks& hooks, const std::string& text) {
    if (hooks.progress) hooks.progress(text);
}

void stepDone(const ConversionHooks& hooks, std::string_view step) {
    if (hooks.afterStep) hooks.afterStep(step);
}

// Old key → plain copy in the working folder → new key → scratch file beside the document →
// journal mark → one rename over the document.
void convertDocument(ConversionJournal& journal, size_t index, LibraryKey& key, const ConversionHooks& hooks) {
    const std::string& document = journal.documents[index];
    const std::string scratch = document + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::deleteFile(scratch);  // an unfinished copy

    report(hooks, "Decrypting " + document);
    key.use(journal.oldKey);
    SdkArg = commandName(document) + ' ' + kPlainCopy;
    binaryFileDec(SdkArg);
    stepDone(hooks, "decrypted");

    report(hooks, "Encrypting " + document);
    key.use(journal.newKey);
    SdkArg = std::string(kPlainCopy) + ' ' + commandName(scratch);
    binaryFileEnc(SdkArg);
    stepDone(hooks, "encrypted");
    wipe(kPlainCopy);
    stepDone(hooks, "plain copy wiped");

    platform::File(scratch, platform::OpenMode::Random).sync();
    markConverted(journal, index);
    stepDone(hooks, "marked");
    platform::replaceFile(scratch, document);
    stepDone(hooks, "replaced");
}

// A document marked converted whose scratch file is still there was not renamed yet.
void completeRename(const std::string& document) {
    const std::string scratch = document + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::replaceFile(scratch, document);
}

void finish(const ConversionJournal& journal, LibraryKey& key, const ConversionHooks& hooks) {
    report(hooks, "Resetting for new key...");
    key.use(journal.newKey);
    {
        shared::ListGuard guard(journal.networkPath);
        replaceLines(journal.networkPath + kFilesFile, journal.entries);
    }
    stepDone(hooks, "list written");
    replaceLines(journal.networkPath + kKeyFile, {journal.newKey});
    stepDone(hooks, "key written");
    platform::replaceFile(kJournalFile, kJournalScratch);  // gone at once, then wiped
    stepDone(hooks, "journal removed");
    wipe(kJournalScratch);
    // After the journal: a lock left by a crash here is harmless, one removed twice is not.
    for (const auto& document : journal.documents) shared::unlockDocument(journal.networkPath, document);
    report(hooks, "");
}

}  // namespace

std::vector<std::string> survivingEntries(const std::vector<std::string>& lines, bool allowDriveC) {
    std::vector<std::string> kept;
    for (const auto& line : lines) {
        if (line.empty() || !shared::FilePresent(line)) continue;
        if (onDriveC(line) && !allowDriveC) continue;
        kept.push_back(line);
    }
    return kept;
}

ConversionJournal beginConversion(const std::string& networkPath, const std::string& oldKey,
                                  const std::string& newKey, bool allowDriveC) {
    ConversionJournal journal;
    journal.networkPath = networkPath;
    journal.oldKey = oldKey;
    journal.newKey = newKey;
    const auto entries = survivingEntries(shared::readLines(networkPath + kFilesFile), allowDriveC);
    try {
        for (const auto& entry : entries) {
            if (listedIn(journal.documents, entry) || listedIn(journal.inUse, entry)) continue;
            const bool granted = shared::lockDocument(networkPath, entry) == shared::LockResult::Granted;
            (granted ? journal.documents : journal.inUse).push_back(entry);
        }
    } catch (...) {
        for (const auto& document : journal.documents) shared::unlockDocument(networkPath, document);
        throw;
    }
    for (const auto& entry : entries)
        if (!listedIn(journal.inUse, entry)) journal.entries.push_back(entry);
    journal.converted.assign(journal.documents.size(), false);
    writeJournal(journal);
    return journal;
}

ConversionResult runConversion(ConversionJournal journal, const ConversionHooks& hooks) {
    wipe(kPlainCopy);  // left by an interrupted run
    LibraryKey key;
    ConversionResult result;
    result.inUse = journal.inUse;
    for (size_t i = 0; i < journal.documents.size(); ++i) {
        if (journal.converted[i]) {
            completeRename(journal.documents[i]);
        } else if (platform::fileExists(journal.documents[i])) {
            convertDocument(journal, i, key, hooks);
        } else {
            continue;  // gone since the conversion began
        }
        ++result.converted;
    }
    finish(journal, key, hooks);
    return result;
}

std::optional<ConversionJournal> findInterruptedConversion() {
    if (!platform::fileExists(kJournalFile)) {
        wipe(kJournalScratch);  // a journal removed by a run that ended before wiping it
        return std::nullopt;
    }
    const auto lines = shared::readLines(kJournalFile);
    if (lines.empty() || lines.front() != kJournalHeader) platform::raise(platform::kInvalidArgument, kJournalFile);
    ConversionJournal journal;
    std::vector<std::string> convertedLines;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t blank = lines[i].find(' ');
        if (blank == std::string::npos) continue;
        const std::string tag = lines[i].substr(0, blank);
        const std::string value = lines[i].substr(blank + 1);
        if (tag == "network") journal.networkPath = value;
        else if (tag == "old") journal.oldKey = value;
        else if (tag == "new") journal.newKey = value;
        else if (tag == "entry") journal.entries.push_back(value);
        else if (tag == "document") journal.documents.push_back(value);
        else if (tag == "in-use") journal.inUse.push_back(value);
        else if (tag == "converted") convertedLines.push_back(value);
    }
    if (journal.networkPath.empty() || journal.oldKey.empty() || journal.newKey.empty())
        platform::raise(platform::kInvalidArgument, kJournalFile);
    journal.converted.assign(journal.documents.size(), false);
    for (const auto& value : convertedLines) readConvertedLine(journal, value);
    return journal;
}

std::string conversionMessage(const ConversionResult& result) {
    std::string text = ' ' + std::to_string(result.converted) + " files were converted.";
    if (result.inUse.empty()) return text;
    const size_t n = result.inUse.size();
    text += "\n\n" + std::to_string(n) + (n == 1 ? " file was" : " files were") +
            " in use and left out.  " + (n == 1 ? "It is" : "They are") +
            " still encrypted under the old key and no longer listed in Current Files:";
    for (const auto& document : result.inUse) text += "\n" + document;
    return text;
}

}  // namespace varkel::admin
