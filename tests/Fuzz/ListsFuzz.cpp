// The system lists and apps.dat lines as arbitrary bytes.
#include "ApplicationList.h"
#include "FuzzSupport.h"
#include "SystemFiles.h"

using namespace varkel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::enterScratchFolder();
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    fuzz::writeFile("list.dat", bytes);
    fuzz::tolerateVbError([] { shared::readEntries("list.dat"); });
    fuzz::tolerateVbError([] { shared::readFirstEntry("list.dat"); });
    fuzz::tolerateVbError([] { shared::containsLine("list.dat", "N:\\Docs\\a.doc", shared::Case::Ignored); });
    std::vector<std::string> lines;
    fuzz::tolerateVbError([&] { lines = shared::readLines("list.dat"); });
    for (const std::string& line : lines) {
        if (line.find_first_of("\r\n") != std::string::npos) fuzz::finding();
        const auto application = shared::splitApplicationLine(line);
        if (application.has_value() != (line.find(':') != std::string::npos)) fuzz::finding();
        if (application && shared::joinApplicationLine(*application) != line) fuzz::finding();
    }
    fuzz::tolerateVbError([] { shared::presentEntries("list.dat"); });
    return 0;
}
