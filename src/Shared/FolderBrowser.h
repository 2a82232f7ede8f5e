// What the drive selectors, folder lists and file lists of both programs show: the mapped
// drives and the folders and files of one folder, all under their Windows-style names. The
// console's pickers and the launcher's document selection browse through this one piece.
#pragma once

#include <string>
#include <vector>

namespace varkel::shared {

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
    // Moves to any folder ("N:\Docs\Old", "C:\"); false and nothing changed when it cannot be read.
    bool setFolder(const std::string& folder);
    bool atRoot() const;

    // The folder and the folders above it, from the drive root down: each with its name as a
    // folder list shows it ("N:\", "Docs", "Old") and its full path.
    struct Level {
        std::string name;
        std::string path;
    };
    std::vector<Level> levels() const;

    // The sub-folders and the ordinary files of the folder; empty when it cannot be read.
    std::vector<std::string> subfolders() const;
    std::vector<std::string> files() const;

    // The full path of a file (or sub-folder) of the folder.
    std::string filePath(const std::string& name) const;

private:
    std::string drive_;
    std::string folder_;
};

}  // namespace varkel::shared
