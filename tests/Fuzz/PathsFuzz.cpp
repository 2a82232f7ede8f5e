// Windows-style paths and drive maps from arbitrary text.
#include "DriveMap.h"
#include "FuzzSupport.h"
#include "WinPath.h"

using namespace varkel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::enterScratchFolder();
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    const std::string_view mapText = fuzz::nextPiece(rest);
    const std::string path(rest);

    platform::DriveMap map;
    map.addFromText(mapText);
    for (const platform::DriveMapping& drive : map.drives()) {
        const auto host = map.hostFolder(drive.root);
        if (!host || *host != drive.host) fuzz::finding();
        if (platform::DriveMap::normaliseRoot(drive.root) != drive.root) fuzz::finding();
    }
    (void)map.hostFolder(path);
    (void)map.owner(path);

    // The process-wide map: the one above, as the user's file.
    std::filesystem::create_directories(platform::userDriveMapFile().parent_path());
    fuzz::writeFile(platform::userDriveMapFile().string(), mapText);
    fuzz::tolerateVbError([&] {
        const std::filesystem::path host = platform::hostPath(path);
        if (!host.is_absolute()) fuzz::finding();
        (void)platform::windowsPath(host);
    });
    const std::string bare = platform::bareName(path);
    if (bare.find_first_of("\\/") != std::string::npos) fuzz::finding();
    (void)platform::joinPath(path, bare);
    return 0;
}
