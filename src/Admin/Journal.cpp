#include "Journal.h"

#include "Console.h"
#include "File.h"
#include "Library.h"
#include "SystemFiles.h"
#include "VbError.h"

#include <algorithm>

namespace varkel::admin {

Journal::Journal(const char* file, const char* scratch, const char* header)
    : file_(file), scratch_(scratch), header_(header) {}

void Journal::write(const std::vector<std::pair<std::string, std::string>>& lines) const {
    std::string text = std::string(header_) + "\r\n";
    for (const auto& [tag, value] : lines) text += tag + ' ' + value + "\r\n";
    wipe(scratch_);  // a leftover holds keys; the journal is created anew, owner-only
    platform::File out(scratch_, platform::OpenMode::Output, {.ownerOnly = true});
    out.append(text);
    out.sync();
    out.close();
    platform::replaceFile(scratch_, file_);
}

void Journal::mark(const char* tag, size_t index, const std::string& document) const {
    platform::File out(file_, platform::OpenMode::Append);
    out.append(std::string(tag) + ' ' + std::to_string(index) + ' ' + document + "\r\n");
    out.sync();
    out.close();
}

std::optional<std::vector<std::pair<std::string, std::string>>> Journal::interrupted() const {
    if (!platform::fileExists(file_)) {
        wipeRemains();
        return std::nullopt;
    }
    const auto lines = shared::readLines(file_);
    if (lines.empty() || lines.front() != header_) platform::raise(platform::kInvalidArgument, file_);
    std::vector<std::pair<std::string, std::string>> tagged;
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t blank = lines[i].find(' ');
        if (blank != std::string::npos) tagged.emplace_back(lines[i].substr(0, blank), lines[i].substr(blank + 1));
    }
    return tagged;
}

void Journal::remove() const {
    platform::replaceFile(file_, scratch_);
}

void Journal::wipeRemains() const { wipe(scratch_); }

std::vector<bool> Journal::marked(const std::vector<std::string>& marks, const std::vector<std::string>& documents) {
    std::vector<bool> done(documents.size(), false);
    for (const std::string& value : marks) {
        const size_t blank = value.find(' ');
        if (blank == std::string::npos || blank == 0 || blank > 9) continue;
        const std::string number = value.substr(0, blank);
        if (!std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
        const size_t index = std::stoul(number);
        if (index < documents.size() && documents[index] == value.substr(blank + 1)) done[index] = true;
    }
    return done;
}

void Journal::wipe(const char* workingFile) {
    if (!platform::fileExists(workingFile)) return;
    SdkArg = workingFile;
    killFile(SdkArg);
}

}  // namespace varkel::admin
