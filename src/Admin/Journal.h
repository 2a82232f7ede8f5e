// The record in the working folder from which the next start of the console finishes a command
// that changes many documents. It is owner-only, since it holds keys. It is written whole by one
// rename, then grows by one flushed line per finished step; a line cut short by a crash names
// no document (or another one) and does not count. It is removed by one rename and then wiped.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varkel::admin {

class Journal {
public:
    // `file` in the working folder; `scratch` is the name it is written under and removed through.
    Journal(const char* file, const char* scratch, const char* header);

    // Replaces the journal with the header followed by one "tag value" line each.
    void write(const std::vector<std::pair<std::string, std::string>>& lines) const;
    // Appends "tag index document" and flushes it to disk.
    void mark(const char* tag, size_t index, const std::string& document) const;
    // The "tag value" lines of the journal of an interrupted command, when there is one; a
    // journal with another header raises VbError. Without a journal, wipes what a run that
    // ended between the journal's removal and its wipe left behind.
    std::optional<std::vector<std::pair<std::string, std::string>>> interrupted() const;
    // Gone at once by a rename, then overwritten and deleted.
    void remove() const;
    // Wipes the removed journal.
    void wipeRemains() const;

    // Per document, whether one of the marks' values ("index document") names it. A mark
    // counts only when it is whole: a line cut short by a crash names no document or another one.
    static std::vector<bool> marked(const std::vector<std::string>& marks, const std::vector<std::string>& documents);

    // Overwrites and deletes a working-folder file that holds keys or plaintext, if it exists.
    static void wipe(const char* workingFile);

private:
    const char* file_;
    const char* scratch_;
    const char* header_;
};

}  // namespace varkel::admin
