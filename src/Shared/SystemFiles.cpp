#include "SystemFiles.h"

#include "CodePage.h"
#include "File.h"
#include "VbError.h"

#include <algorithm>

namespace varkel::shared {
using namespace varkel::platform;

std::string withTrailingBackslash(std::string path) {
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

bool FilePresent(const std::string& path) {
    // Read, not the length: a network client may report a length it cached before another
    // machine wrote the file, and an empty file must not hide a written one.
    if (RecordFile(path, 1).file().holdsData()) return true;
    try {
        deleteFile(path);
    } catch (const VbError& e) {
        if (e.number() != kFileNotFound) throw;  // another program removed it first: absent all the same
    }
    return false;
}

std::vector<std::string> readEntries(const std::string& path) {
    TextReader in(path);
    std::vector<std::string> entries;
    do {
        entries.push_back(in.inputField());
    } while (!in.eof());
    return entries;
}

std::vector<std::string> presentEntries(const std::string& path) {
    if (!FilePresent(path)) return {};
    return readEntries(path);
}

std::string readFirstEntry(const std::string& path) { return TextReader(path).inputField(); }

std::vector<std::string> readLines(const std::string& path) {
    TextReader in(path);
    std::vector<std::string> lines;
    while (!in.eof()) lines.push_back(in.lineInput());
    return lines;
}

void writeLines(const std::string& path, const std::vector<std::string>& lines) {
    TextWriter out(path, OpenMode::Output);
    for (const auto& line : lines) out.printLine(line);
    out.close();
}

void appendLine(const std::string& path, std::string_view line) { appendLines(path, {std::string(line)}); }

void appendLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text.append(line).append("\r\n");
    TextWriter out(path, OpenMode::Append);
    out.print(text);
    out.close();
}

bool sameEntry(std::string_view a, std::string_view b, Case rule) {
    return rule == Case::Exact ? a == b : equalsIgnoreCase(a, b);
}

bool listsEntry(const std::vector<std::string>& entries, std::string_view entry, Case rule) {
    return std::any_of(entries.begin(), entries.end(),
                       [&](const std::string& listed) { return sameEntry(listed, entry, rule); });
}

bool containsLine(const std::string& path, std::string_view entry, Case rule) {
    TextReader in(path);
    while (!in.eof())
        if (sameEntry(in.lineInput(), entry, rule)) return true;
    return false;
}

void rewriteWithout(const std::string& list, const std::string& transient, const std::vector<std::string>& removed,
                    Replace how) {
    {
        TextReader in(list);
        TextWriter out(transient, OpenMode::Output);
        while (!in.eof()) {
            const std::string line = in.lineInput();
            if (std::find(removed.begin(), removed.end(), line) == removed.end()) out.printLine(line);
        }
        out.close();
    }
    if (how == Replace::DeleteAndRename) {
        deleteFile(list);
        renameFile(transient, list);
    } else if (how == Replace::CopyOver) {
        copyFile(transient, list);
        deleteFile(transient);
    } else {
        // The list keeps its mode and group, so that every account of a shared folder can
        // still write it after this one replaced it; a share that keeps no modes is left so.
        try {
            copyAttributes(list, transient);
        } catch (const VbError&) {
        }
        replaceFile(transient, list);
    }
}

}  // namespace varkel::shared
