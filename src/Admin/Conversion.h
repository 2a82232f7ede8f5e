// Converting every registered document from the current key to a new one.
//
// The conversion never leaves a document decrypted in the network folder and survives being
// killed at any moment. Each document is decrypted under the old key into an owner-only
// scratch file in the working folder, encrypted under the new key into a scratch file beside
// the document, and then takes the document's place by one rename. A journal in the working
// folder holds both keys, the documents and which of them are converted; the console finishes
// an interrupted conversion from it at its next start, so no document is converted twice.
// While the conversion runs, every document it converts stays in the lock list, so no
// launcher opens it. It does not start while a user holds a registered document locked: that
// document would stay under the old key while the new one became current.
#pragma once

#include "DocumentPipeline.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::admin {

inline constexpr const char* kJournalFile = "Convert.jnl";  // in the working folder

struct ConversionJournal {
    std::string networkPath;                // ends in "\"
    std::string oldKey;
    std::string newKey;
    std::vector<std::string> entries;       // the current-files list afterwards
    std::vector<std::string> documents;     // each document to convert once, locked by the conversion
    std::vector<std::string> unreachable;   // entries that could not be reached: left out, named
    std::vector<bool> converted;            // per document: its new-key copy is complete
    std::vector<bool> failed;               // per document: it could not be read or written
};

struct ConversionResult {
    int32_t converted = 0;
    std::vector<std::string> unreachable;
};

struct ConversionHooks {
    std::function<void(const std::string&)> progress;  // a line for the window to show
    std::function<void(std::string_view)> afterStep;   // after each step that reaches the disk
};

// What the current-files list holds for a conversion, read before anything changes.
struct ConversionSurvey {
    size_t entries = 0;                // entries that would be converted
    size_t outside = 0;                // of them, outside the network folder
    std::vector<std::string> locked;   // of them, in the lock list (case ignored), each once
};
ConversionSurvey surveyConversion(const std::string& networkPath, bool allowDriveC);

// The refusal that names the documents in use, and the question asked before converting.
std::string lockedDocumentsMessage(const std::vector<std::string>& locked);
std::string conversionQuestion(const ConversionSurvey& survey, const std::string& networkPath);

// The entries of the current-files list that a conversion keeps: those whose document is
// present (the file-present test, which also deletes an empty document) and, unless
// `allowDriveC`, not on drive C:. An entry whose document cannot be reached at all (a path
// that leads nowhere, a drive that is not there) goes to `unreachable`.
struct SurvivingEntries {
    std::vector<std::string> kept;
    std::vector<std::string> unreachable;
};
SurvivingEntries survivingEntries(const std::vector<std::string>& lines, bool allowDriveC);

// Locks each surviving document and writes the journal. When a document turns out to be in
// use (a launcher locked it meanwhile), the locks taken are released again, nothing else has
// changed, and `locked` names the documents in use.
struct ConversionStart {
    std::optional<ConversionJournal> journal;
    std::vector<std::string> locked;
};
ConversionStart beginConversion(const std::string& networkPath, const std::string& oldKey, const std::string& newKey,
                                bool allowDriveC);

// Converts the documents the journal has not marked converted, then writes the current-files
// list and the new key, sets the library up with the new key, removes the journal and
// releases the locks. The library is left set up with the new key. A document the library
// cannot read or write (say, a folder it may not write in) stays as it was under the old key,
// leaves the list and is named, like an entry that cannot be reached.
// The documents are read and written back through the pipeline; a document read whole goes
// through the working copies, a link or a large document is converted by name.
ConversionResult runConversion(ConversionJournal journal, const ConversionHooks& hooks = {},
                               const PipelineOptions& pipeline = {});

// The journal of an interrupted conversion, if there is one; wipes the remains of a journal
// that a finished conversion removed. A journal that cannot be read raises VbError.
std::optional<ConversionJournal> findInterruptedConversion();

// The converted-count message, naming the entries that could not be reached or converted.
std::string conversionMessage(const ConversionResult& result);

}  // namespace varkel::admin
