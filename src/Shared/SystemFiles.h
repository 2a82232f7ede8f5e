// The system files that the console and the launchers share: how they are tested, read and
// written. Every file is text, one entry per line, lines ending in CR LF, Windows-1252.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace varkel::shared {

// A network-folder path as the programs hold it: the folder with one trailing backslash.
std::string withTrailingBackslash(std::string path);

// The file-present test: opens the file for random access (which creates a missing file
// empty) and takes its length. A file of at least one byte is present; otherwise it is
// reported absent and the (now empty) file is deleted.
bool FilePresent(const std::string& path);

// Whole-list read for display: every comma-separated field of the file (a field ends at a
// comma or the line end, enclosing quotes removed, leading blanks skipped).
std::vector<std::string> readEntries(const std::string& path);
// The entries of a list as the console shows it: the file-present test, then, when the file
// is present, every field; an absent (or empty, now deleted) file gives no entry.
std::vector<std::string> presentEntries(const std::string& path);
// The first field of the file (network.dat, key.dat).
std::string readFirstEntry(const std::string& path);
// Every whole line of the file, exactly.
std::vector<std::string> readLines(const std::string& path);

// Whole-file replace, one entry per line.
void writeLines(const std::string& path, const std::vector<std::string>& lines);
// Appends one line, or several in one write, creating the file when it is missing.
void appendLine(const std::string& path, std::string_view line);
void appendLines(const std::string& path, const std::vector<std::string>& lines);

enum class Case { Exact, Ignored };
bool sameEntry(std::string_view a, std::string_view b, Case rule);
// Whether any of `entries` equals `entry` (under `rule`).
bool listsEntry(const std::vector<std::string>& entries, std::string_view entry, Case rule);
// Whether any whole line of the file equals `entry` (under `rule`); stops at the first match.
bool containsLine(const std::string& path, std::string_view entry, Case rule);

// How the list file takes the transient file's place.
enum class Replace {
    DeleteAndRename,  // the console: delete the list, give the transient file its name
    CopyOver,         // copy the transient file over the list, delete it
    RenameOver,       // the launcher: rename the transient file over the list in one step, so
                      // a reader sees the old list or the new one, never a part of it
};
// Copies every whole line that equals none of `removed` (case counting) into `transient`,
// then puts the transient file in the list's place.
void rewriteWithout(const std::string& list, const std::string& transient, const std::vector<std::string>& removed,
                    Replace how);

}  // namespace varkel::shared
