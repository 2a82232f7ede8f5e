#include "FolderEncryption.h"

#include "CodePage.h"
#include "Console.h"
#include "File.h"
#include "Library.h"

#include <algorithm>

namespace varkel::admin {
namespace {

bool isScratchName(const std::string& name) {
    const std::string_view suffix = kScratchSuffix;
    return name.size() > suffix.size() &&
           platform::equalsIgnoreCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}

}  // namespace

bool listedIn(const std::vector<std::string>& list, const std::string& path) {
    return std::any_of(list.begin(), list.end(),
                       [&](const std::string& entry) { return platform::equalsIgnoreCase(entry, path); });
}

FolderPlan planFolder(const std::string& folder, const std::vector<std::string>& currentFiles) {
    FolderPlan plan;
    for (const std::string& name : platform::listFiles(folder)) {
        if (isScratchName(name)) continue;
        const std::string path = folder + name;
        (listedIn(currentFiles, path) ? plan.skipped : plan.toEncrypt).push_back(path);
    }
    return plan;
}

std::string commandName(const std::string& path) {
    return path.find(' ') == std::string::npos ? path : '"' + path + '"';
}

void encryptDocument(const std::string& path) {
    const std::string scratch = path + kScratchSuffix;
    if (platform::fileExists(scratch)) platform::deleteFile(scratch);
    SdkArg = commandName(path) + ' ' + commandName(scratch);
    try {
        binaryFileEnc(SdkArg);
    } catch (...) {
        if (platform::fileExists(scratch)) platform::deleteFile(scratch);
        throw;
    }
    platform::replaceFile(scratch, path);
}

void encryptAll(const std::vector<std::string>& paths, const std::function<void(size_t, const std::string&)>& progress) {
    for (size_t i = 0; i < paths.size(); ++i) {
        progress(i + 1, paths[i]);
        encryptDocument(paths[i]);
    }
}

bool addNewEntries(std::vector<std::string>& list, const std::vector<std::string>& paths) {
    bool changed = false;
    for (const std::string& path : paths) {
        if (listedIn(list, path)) continue;
        list.push_back(path);
        changed = true;
    }
    return changed;
}

}  // namespace varkel::admin
