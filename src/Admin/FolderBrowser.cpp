#include "FolderBrowser.h"

#include "DriveMap.h"
#include "File.h"
#include "VbError.h"

namespace varkel::admin {

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

bool FolderBrowser::setDrive(const std::string& drive) {
    const std::string root = drive + "\\";
    try {
        if (!platform::folderExists(root)) return false;
        platform::listFolders(root);
    } catch (const platform::VbError&) {
        return false;
    }
    drive_ = drive;
    folder_ = root;
    return true;
}

bool FolderBrowser::atRoot() const { return folder_.size() == drive_.size() + 1; }

bool FolderBrowser::open(const std::string& name) {
    std::string target;
    if (name == "..") {
        if (atRoot()) return false;
        target = folder_.substr(0, folder_.rfind('\\'));
        if (target.size() == drive_.size()) target += '\\';
    } else {
        target = singleBackslashes(folder_ + "\\" + name);
    }
    try {
        if (!platform::folderExists(target)) return false;
        platform::listFolders(target);
    } catch (const platform::VbError&) {
        return false;
    }
    folder_ = target;
    return true;
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

}  // namespace varkel::admin
