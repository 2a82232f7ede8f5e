#include "WorkingCopies.h"

#include "File.h"
#include "Journal.h"

namespace varkel::admin {

void writeWorkingCopy(const char* name, std::string_view bytes) {
    platform::File out(name, platform::OpenMode::Output, {.ownerOnly = true});
    out.append(bytes);
    out.close();
}

std::string takeWorkingCopy(const char* name) {
    std::string bytes;
    {
        const platform::File in(name, platform::OpenMode::Input);
        bytes.resize(in.length());
        bytes.resize(in.readAt(0, bytes.data(), bytes.size()));
    }
    platform::deleteFile(name);
    return bytes;
}

void removeWorkingCopies() {
    Journal::wipe(kPlainCopy);
    if (platform::fileExists(kCipherCopy)) platform::deleteFile(kCipherCopy);
}

}  // namespace varkel::admin
