// What the pickers' drive selector, folder list and file list show: the mapped drives and the
// folders and files of one folder, all under their Windows-style names.
#pragma once

#include <string>
#include <vector>

namespace varkel::admin {

// Replaces every "\\" by "\" (a file in a drive root gets a single separator).
std::string singleBackslashes(std::string path);

class FolderBrowser {
public:
    FolderBrowser();  // starts at the root of drive C:

    // The drive letters of the drive map, "C:", "N:", ...
    static std::vector<std::string> drives();

    const std::string& drive() const { return drive_; }
    // The folder the folder list shows: a drive root ends in "\" (C:\), any other folder not.
    const std::string& folder() const { return folder_; }

    // Moves to the root of `drive`; false and nothing changed when the drive cannot be read.
    bool setDrive(const std::string& drive);
    // Moves into a sub-folder of the folder, or to the parent for ".."; false when it cannot.
    bool open(const std::string& name);
    bool atRoot() const;

    // The sub-folders and the ordinary files of the folder; empty when it cannot be read.
    std::vector<std::string> subfolders() const;
    std::vector<std::string> files() const;

    // The full path of a file of the folder.
    std::string filePath(const std::string& name) const;

private:
    std::string drive_;
    std::string folder_;
};

}  // namespace varkel::admin
