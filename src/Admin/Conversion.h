// Converting every registered document from the current key to a new one.
//
// The conversion never leaves a document decrypted in the network folder and survives being
// killed at any moment. Each document is decrypted under the old key into an owner-only
// scratch file in the working folder, encrypted under the new key into a scratch file beside
// the document, and then takes the document's place by one rename. A journal in the working
// folder holds both keys, the documents and which of them are converted; the console finishes
// an interrupted conversion from it at its next start, so no document is converted twice.
// While the conversion runs, every document it converts stays in the lock list, so no
// launcher opens it; a document that a user holds locked is left out.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::admin {

inline constexpr const char* kJournalFile = "Convert.jnl";  // in the working folder
inline constexpr const char* kPlainCopy = "dec.tmp";        // in the working folder

struct ConversionJournal {
    std::string networkPath;             // ends in "\"
    std::string oldKey;
    std::string newKey;
    std::vector<std::string> entries;    // the current-files list afterwards
    std::vector<std::string> documents;  // each document to convert once, locked by the conversion
    std::vector<std::string> inUse;      // documents users held locked: left out, old key
    std::vector<bool> converted;         // per document: its new-key copy is complete
};

struct ConversionResult {
    int32_t converted = 0;
    std::vector<std::string> inUse;
};

struct ConversionHooks {
    std::function<void(const std::string&)> progress;  // a line for the window to show
    std::function<void(std::string_view)> afterStep;   // after each step that reaches the disk
};

// The entries of the current-files list that a conversion keeps: those whose document is
// present (the file-present test, which also deletes an empty document) and, unless
// `allowDriveC`, not on drive C:.
std::vector<std::string> survivingEntries(const std::vector<std::string>& lines, bool allowDriveC);

// Locks each surviving document, writes the journal and returns it. Nothing else changes.
ConversionJournal beginConversion(const std::string& networkPath, const std::string& oldKey,
                                  const std::string& newKey, bool allowDriveC);

// Converts the documents the journal has not marked converted, then writes the current-files
// list and the new key, sets the library up with the new key, removes the journal and
// releases the locks. The library is left set up with the new key.
ConversionResult runConversion(ConversionJournal journal, const ConversionHooks& hooks = {});

// The journal of an interrupted conversion, if there is one; wipes the remains of a journal
// that a finished conversion removed. A journal that cannot be read raises VbError.
std::optional<ConversionJournal> findInterruptedConversion();

// The converted-count message, naming the documents that were left out.
std::string conversionMessage(const ConversionResult& result);

}  // namespace varkel::admin
