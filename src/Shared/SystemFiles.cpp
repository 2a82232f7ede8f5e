#include "SystemFiles.h"

#include "CodePage.h"
#include "File.h"

#include <algorithm>

namespace varkel::shared {
using namespace varkel::platform;

std::string withTrailingBackslash(std::string path) {
    if (path.empty() || path.back() != '\\') path += '\\';
    return path;
}

bool FilePresent(const std::string& path) {
    uint64_t length = 0;
    {
        RecordFile file(path, 1);
        length = file.length();
    }
    if (length > 0) return true;
    deleteFile(path);
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

void appendLine(const std::string& path, std::string_view line) {
    TextWriter out(path, OpenMode::Append);
    out.printLine(line);
    out.close();
}

bool sameEntry(std::string_view a, std::string_view b, Case rule) {
    return rule == Case::Exact ? a == b : equalsIgnoreCase(a, b);
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
        replaceFile(transient, list);
    }
}

}  // namespace varkel::shared
