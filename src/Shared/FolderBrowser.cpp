#include "FolderBrowser.h"

#include "DriveMap.h"
#include "File.h"
#include "VbError.h"

#include <cctype>

namespace varkel::shared {
namespace {

// The drive root of a Windows-style folder ("N:" of "N:\Docs", "\\srv\share" of "\\srv\share\x").
std::string driveOf(const std::string& folder) {
    if (folder.rfind("\\\\", 0) == 0) {
        const size_t server = folder.find('\\', 2);
        const size_t share = server == std::string::npos ? server : folder.find('\\', server + 1);
        return folder.substr(0, share);
    }
    std::string letter = folder.substr(0, 2);
    letter[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(letter[0])));
    return letter;
}

std::vector<std::string> partsBelow(const std::string& folder, const std::string& drive) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : folder.substr(drive.size())) {
        if (c == '\\' || c == '/') {
            if (!part.empty()) parts.push_back(part);
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(part);
    return parts;
}

bool readable(const std::string& folder) {
    try {
        if (!platform::folderExists(folder)) return false;
        platform::listFolders(folder);
        return true;
    } catch (const platform::VbError&) {
        return false;
    }
}

}  // namespace

std::string singleBackslashes(std::string path) {
    for (size_t at; (at = path.find("\\\\")) != std::string::npos;) path.erase(at, 1);
    return path;
}

FolderBrowser::FolderBrowser() : drive_("C:"), folder_("C:\\") {}

std::vector<std::string> FolderBrowser::drives() {
    std::vector<std::string> letters;
    const platform::DriveMap map = platform::currentDriveMap();
    for (const auto& mapping : map.drives())
        if (mapping.root.size() == 2 && mapping.root[1] == ':') letters.push_back(mapping.root);
    return letters;
}

bool FolderBrowser::setDrive(const std::string& drive) { return setFolder(drive + "\\"); }

bool FolderBrowser::atRoot() const { return folder_.size() == drive_.size() + 1; }

bool FolderBrowser::open(const std::string& name) {
    if (name != "..") return setFolder(filePath(name));
    if (atRoot()) return false;
    return setFolder(folder_.substr(0, folder_.rfind('\\')));
}

bool FolderBrowser::setFolder(const std::string& folder) {
    if (folder.size() < 2) return false;
    const std::string drive = driveOf(folder);
    std::vector<std::string> kept;
    for (const std::string& part : partsBelow(folder, drive)) {
        if (part == "..") {
            if (!kept.empty()) kept.pop_back();
        } else if (part != ".") {
            kept.push_back(part);
        }
    }
    std::string target = drive + "\\";
    for (const std::string& part : kept) target = singleBackslashes(target + "\\" + part);
    if (!readable(target)) return false;
    drive_ = drive;
    folder_ = target;
    return true;
}

std::vector<FolderBrowser::Level> FolderBrowser::levels() const {
    std::vector<Level> chain{{drive_ + "\\", drive_ + "\\"}};
    for (const std::string& part : partsBelow(folder_, drive_))
        chain.push_back({part, singleBackslashes(chain.back().path + "\\" + part)});
    return chain;
}

std::vector<std::string> FolderBrowser::subfolders() const {
    try {
        return platform::listFolders(folder_);
    } catch (const platform::VbError&) {
        return {};
    }
}

std::vector<std::string> FolderBrowser::files() const {
    try {
        return platform::listFiles(folder_);
    } catch (const platform::VbError&) {
        return {};
    }
}

std::string FolderBrowser::filePath(const std::string& name) const { return singleBackslashes(folder_ + "\\" + name); }

}  // namespace varkel::shared
