#include "Replacement.h"

#include "Console.h"
#include "File.h"
#include "SystemFiles.h"

namespace varkel::admin {

void prepareReplacement(const std::string& scratch) {
    platform::File(scratch, platform::OpenMode::Random).sync();
}

void replaceDocument(const std::string& scratch, const std::string& document) {
    platform::replaceKeepingAttributes(scratch, document);
}

void completeReplacement(const std::string& document) {
    const std::string scratch = document + kScratchSuffix;
    if (platform::fileExists(scratch)) replaceDocument(scratch, document);
}

void replaceListFile(const std::string& path, const std::vector<std::string>& lines) {
    const std::string scratch = path + kScratchSuffix;
    shared::writeLines(scratch, lines);
    replaceDocument(scratch, path);
}

void replaceSecretFile(const std::string& path, const std::vector<std::string>& lines) {
    const std::string scratch = path + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::deleteFile(scratch);  // created anew, owner-only
    platform::TextWriter out(scratch, platform::OpenMode::Output, {.ownerOnly = true});
    for (const auto& line : lines) out.printLine(line);
    out.close();
    platform::File(scratch, platform::OpenMode::Random).sync();
    platform::replaceFile(scratch, path);  // not the old file's mode: the new one is owner-only
}

}  // namespace varkel::admin
