// Drive letters (and UNC shares) mapped onto host folders, as the system's Windows-style paths need.
//
// The map is read from a per-user file, `$XDG_CONFIG_HOME/varkel/drives` (default
// `~/.config/varkel/drives`), over a system-wide `/etc/varkel/drives`. Each line is
// `N: /srv/share` or `\\server\share /srv/share`; `#` starts a comment. `C:` is the host
// root `/` unless a file says otherwise.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

struct DriveMapping {
    std::string root;             // "C:" or "\\server\share", as the system spells it
    std::filesystem::path host;   // the host folder it stands for
};

class DriveMap {
public:
    DriveMap();  // only C: on /

    // Adds or replaces the mappings given as text in the file format above.
    void addFromText(std::string_view text);
    void set(std::string root, std::filesystem::path host);

    // Drive letters first (A to Z), then UNC roots.
    const std::vector<DriveMapping>& drives() const { return drives_; }
    std::optional<std::filesystem::path> hostFolder(std::string_view root) const;
    // The mapping whose host folder holds `host` most closely.
    const DriveMapping* owner(const std::filesystem::path& host) const;

    static std::string normaliseRoot(std::string_view root);

private:
    std::vector<DriveMapping> drives_;
};

// The map in force for this process, read again whenever its files change.
DriveMap currentDriveMap();
// Where the per-user map lives.
std::filesystem::path userDriveMapFile();

}  // namespace varkel::platform
