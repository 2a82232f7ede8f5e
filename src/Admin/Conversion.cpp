#include "Conversion.h"

#include "CodePage.h"
#include "Console.h"
#include "File.h"
#include "DocumentContent.h"
#include "FolderEncryption.h"
#include "Journal.h"
#include "Library.h"
#include "LockList.h"
#include "Replacement.h"
#include "SystemFiles.h"
#include "VbError.h"
#include "WorkingCopies.h"

namespace varkel::admin {

namespace {

const Journal kJournal(kJournalFile, "Convert.tmp", "Varkel key conversion");
constexpr const char* kConvertedTag = "converted";
constexpr const char* kFailedTag = "failed";

bool onDriveC(const std::string& path) { return path.size() >= 2 && platform::toLower(path.substr(0, 2)) == "c:"; }

bool insideFolder(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && platform::equalsIgnoreCase(std::string_view(path).substr(0, folder.size()), folder);
}

// The entries a conversion would take up, before their documents are looked at.
std::vector<std::string> candidateEntries(const std::vector<std::string>& lines, bool allowDriveC) {
    std::vector<std::string> candidates;
    for (const auto& line : lines)
        if (!line.empty() && (allowDriveC || !onDriveC(line))) candidates.push_back(line);
    return candidates;
}

void writeJournal(const ConversionJournal& journal) {
    std::vector<std::pair<std::string, std::string>> lines = {
        {"network", journal.networkPath}, {"old", journal.oldKey}, {"new", journal.newKey}};
    for (const auto& entry : journal.entries) lines.emplace_back("entry", entry);
    for (const auto& document : journal.documents) lines.emplace_back("document", document);
    for (const auto& entry : journal.unreachable) lines.emplace_back("unreachable", entry);
    for (size_t i = 0; i < journal.documents.size(); ++i)
        if (journal.converted[i]) lines.emplace_back(kConvertedTag, std::to_string(i) + ' ' + journal.documents[i]);
    for (size_t i = 0; i < journal.documents.size(); ++i)
        if (journal.failed[i]) lines.emplace_back(kFailedTag, std::to_string(i) + ' ' + journal.documents[i]);
    kJournal.write(lines);
}

void report(const ConversionHooks& hooks, const std::string& text) {
    if (hooks.progress) hooks.progress(text);
}

void stepDone(const ConversionHooks& hooks, std::string_view step) {
    if (hooks.afterStep) hooks.afterStep(step);
}

// A file call of the library on this document. Its failure is the document's: it is left as
// it is. Failures of anything else still end the command.
void callOnDocument(void (*call)(std::string&), std::string command) {
    SdkArg = std::move(command);
    try {
        call(SdkArg);
    } catch (const platform::VbError& error) {
        throw DocumentFailed{error};
    }
}

// Old key: `input` → the plain copy in the working folder; new key: the plain copy → `output`.
// The plain copy is wiped whatever happens.
void convertThroughPlainCopy(const ConversionJournal& journal, const std::string& document, const std::string& input,
                             const std::string& output, LibraryKey& key, const ConversionHooks& hooks) {
    try {
        report(hooks, "Decrypting " + document);
        key.use(journal.oldKey);
        callOnDocument(binaryFileDec, input + ' ' + kPlainCopy);
        stepDone(hooks, "decrypted");
        report(hooks, "Encrypting " + document);
        key.use(journal.newKey);
        callOnDocument(binaryFileEnc, std::string(kPlainCopy) + ' ' + output);
        stepDone(hooks, "encrypted");
    } catch (const DocumentFailed&) {
        Journal::wipe(kPlainCopy);
        throw;
    }
    Journal::wipe(kPlainCopy);
    stepDone(hooks, "plain copy wiped");
}

// The document's content under the new key, from its content under the old one, through the
// working copies.
std::string convertedContent(const ConversionJournal& journal, size_t index, const std::string& content,
                             LibraryKey& key, const ConversionHooks& hooks) {
    writeWorkingCopy(kCipherCopy, content);
    try {
        convertThroughPlainCopy(journal, journal.documents[index], kCipherCopy, kCipherCopy, key, hooks);
    } catch (const DocumentFailed&) {
        removeWorkingCopies();
        throw;
    }
    return takeWorkingCopy(kCipherCopy);
}

void markConverted(ConversionJournal& journal, size_t index, const ConversionHooks& hooks) {
    stepDone(hooks, "written");
    kJournal.mark(kConvertedTag, index, journal.documents[index]);
    journal.converted[index] = true;
    stepDone(hooks, "marked");
}

// A document that is a link, or too large to be read whole: converted by name into its scratch
// file → journal mark → one rename over the document.
void convertByName(ConversionJournal& journal, size_t index, LibraryKey& key, const ConversionHooks& hooks) {
    const std::string& document = journal.documents[index];
    const std::string scratch = document + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::deleteFile(scratch);  // an unfinished copy
    try {
        convertThroughPlainCopy(journal, document, commandName(document), commandName(scratch), key, hooks);
    } catch (const DocumentFailed&) {
        if (platform::fileExists(scratch)) platform::deleteFile(scratch);
        throw;
    }
    prepareReplacement(scratch);
    markConverted(journal, index, hooks);
    replaceDocument(scratch, document);
    stepDone(hooks, "replaced");
}

// The current-files list afterwards: without the documents that could not be converted.
std::vector<std::string> entriesAfter(const ConversionJournal& journal) {
    std::vector<std::string> failed;
    for (size_t i = 0; i < journal.documents.size(); ++i)
        if (journal.failed[i]) failed.push_back(journal.documents[i]);
    std::vector<std::string> entries;
    for (const auto& entry : journal.entries)
        if (!listedIn(failed, entry)) entries.push_back(entry);
    return entries;
}

void finish(const ConversionJournal& journal, LibraryKey& key, const ConversionHooks& hooks) {
    report(hooks, "Resetting for new key...");
    key.use(journal.newKey);
    {
        shared::ListGuard guard(journal.networkPath);
        replaceListFile(journal.networkPath + kFilesFile, entriesAfter(journal));
    }
    stepDone(hooks, "list written");
    replaceListFile(journal.networkPath + kKeyFile, {journal.newKey});
    stepDone(hooks, "key written");
    kJournal.remove();
    stepDone(hooks, "journal removed");
    kJournal.wipeRemains();
    // After the journal: a lock left by a crash here is harmless, one removed twice is not.
    shared::unlockDocuments(journal.networkPath, journal.documents);
    report(hooks, "");
}

}  // namespace

ConversionSurvey surveyConversion(const std::string& networkPath, bool allowDriveC) {
    ConversionSurvey survey;
    const std::string filesFile = networkPath + kFilesFile;
    const auto candidates =
        candidateEntries(platform::fileExists(filesFile) ? shared::readLines(filesFile) : std::vector<std::string>{},
                         allowDriveC);
    const std::string lockedFile = networkPath + kLockedFile;
    const auto locks = platform::fileExists(lockedFile) ? shared::readLines(lockedFile) : std::vector<std::string>{};
    survey.entries = candidates.size();
    for (const auto& entry : candidates) {
        if (!insideFolder(entry, networkPath)) ++survey.outside;
        if (listedIn(locks, entry) && !listedIn(survey.locked, entry)) survey.locked.push_back(entry);
    }
    return survey;
}

std::string lockedDocumentsMessage(const std::vector<std::string>& locked) {
    const bool one = locked.size() == 1;
    std::string text = std::string(one ? "A document in Current Files is" : "Documents in Current Files are") +
                       " in use, so the files cannot be converted to a new key now.  Please have " +
                       (one ? "it" : "them") + " closed, or unlock " + (one ? "it" : "them") +
                       " under Locked Files, and try again:";
    for (const auto& document : locked) text += "\n" + document;
    return text;
}

std::string conversionQuestion(const ConversionSurvey& survey, const std::string& networkPath) {
    const bool one = survey.entries == 1;
    std::string text = std::to_string(survey.entries) + (one ? " file in Current Files" : " files in Current Files") +
                       " will be converted to the new key.";
    if (survey.outside > 0)
        text += "  " + std::to_string(survey.outside) + " of them " + (survey.outside == 1 ? "lies" : "lie") +
                " outside the network folder " + networkPath + ".";
    return text + "  Are you sure you want to do this?";
}

SurvivingEntries survivingEntries(const std::vector<std::string>& lines, bool allowDriveC) {
    SurvivingEntries result;
    for (const auto& line : candidateEntries(lines, allowDriveC)) {
        try {
            if (shared::FilePresent(line)) result.kept.push_back(line);
        } catch (const platform::VbError&) {
            result.unreachable.push_back(line);
        }
    }
    return result;
}

ConversionStart beginConversion(const std::string& networkPath, const std::string& oldKey, const std::string& newKey,
                                bool allowDriveC) {
    ConversionStart start;
    ConversionJournal journal;
    journal.networkPath = networkPath;
    journal.oldKey = oldKey;
    journal.newKey = newKey;
    auto surviving = survivingEntries(shared::readLines(networkPath + kFilesFile), allowDriveC);
    for (const auto& entry : surviving.kept)
        if (!listedIn(journal.documents, entry)) journal.documents.push_back(entry);
    start.locked = shared::lockDocuments(networkPath, journal.documents);
    if (!start.locked.empty()) return start;
    journal.entries = std::move(surviving.kept);
    journal.unreachable = std::move(surviving.unreachable);
    journal.converted.assign(journal.documents.size(), false);
    journal.failed.assign(journal.documents.size(), false);
    try {
        writeJournal(journal);
    } catch (...) {
        shared::unlockDocuments(networkPath, journal.documents);  // nothing else has changed
        throw;
    }
    start.journal = std::move(journal);
    return start;
}

ConversionResult runConversion(ConversionJournal journal, const ConversionHooks& hooks,
                               const PipelineOptions& pipeline) {
    removeWorkingCopies();  // left by an interrupted run
    LibraryKey key;
    ConversionResult result;
    result.unreachable = journal.unreachable;
    // Documents an interrupted run finished: a copy may still wait beside one.
    std::vector<size_t> order;
    for (size_t i = 0; i < journal.documents.size(); ++i) {
        if (journal.converted[i]) {
            completeReplacement(journal.documents[i]);
            ++result.converted;
        } else if (!journal.failed[i]) {
            order.push_back(i);
        }
    }
    PipelineSteps steps;
    steps.newContent = [&](size_t index, std::string& content) {
        return convertedContent(journal, index, content, key, hooks);
    };
    steps.byName = [&](size_t index) { convertByName(journal, index, key, hooks); };
    steps.written = [&](size_t index) { markConverted(journal, index, hooks); };
    steps.placed = [&](size_t) { stepDone(hooks, "replaced"); };
    steps.finished = [&](size_t) { ++result.converted; };
    // A document the library cannot read or write stays as it was under the old key.
    steps.failed = [&](size_t index, const platform::VbError&) {
        kJournal.mark(kFailedTag, index, journal.documents[index]);
        journal.failed[index] = true;
        return true;
    };
    runPipeline(journal.documents, order, steps, pipeline);
    for (size_t i = 0; i < journal.documents.size(); ++i)
        if (journal.failed[i]) result.unreachable.push_back(journal.documents[i]);
    finish(journal, key, hooks);
    return result;
}

std::optional<ConversionJournal> findInterruptedConversion() {
    const auto lines = kJournal.interrupted();
    if (!lines) return std::nullopt;
    ConversionJournal journal;
    std::vector<std::string> marks, failures;
    for (const auto& [tag, value] : *lines) {
        if (tag == "network") journal.networkPath = value;
        else if (tag == "old") journal.oldKey = value;
        else if (tag == "new") journal.newKey = value;
        else if (tag == "entry") journal.entries.push_back(value);
        else if (tag == "document") journal.documents.push_back(value);
        else if (tag == "unreachable") journal.unreachable.push_back(value);
        else if (tag == kConvertedTag) marks.push_back(value);
        else if (tag == kFailedTag) failures.push_back(value);
    }
    if (journal.networkPath.empty() || journal.oldKey.empty() || journal.newKey.empty())
        platform::raise(platform::kInvalidArgument, kJournalFile);
    journal.converted = Journal::marked(marks, journal.documents);
    journal.failed = Journal::marked(failures, journal.documents);
    return journal;
}

std::string conversionMessage(const ConversionResult& result) {
    std::string text = ' ' + std::to_string(result.converted) + " files were converted.";
    if (result.unreachable.empty()) return text;
    const size_t n = result.unreachable.size();
    text += "\n\n" + std::to_string(n) + (n == 1 ? " entry" : " entries") +
            " of Current Files could not be reached or converted and " + (n == 1 ? "was" : "were") +
            " left out of the list; any document there is still under the old key:";
    for (const auto& entry : result.unreachable) text += "\n" + entry;
    return text;
}

}  // namespace varkel::admin
