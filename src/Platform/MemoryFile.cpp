#include "MemoryFile.h"

#include "HostIo.h"
#include "VbError.h"
#include "WinPath.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varkel::platform {
namespace {

void writeAll(int fd, std::string_view bytes) {
    if (const int err = hostio::writeAt(fd, 0, bytes.data(), bytes.size())) raiseErrno(err, "memory file");
}

}  // namespace

std::optional<MemoryFile> MemoryFile::create() {
    const int fd = ::memfd_create("varkel-plain", MFD_CLOEXEC);
    if (fd < 0) return std::nullopt;
    // Its name is the descriptor's entry in this process's own folder of open files, which no
    // other user's process may open.
    const std::filesystem::path host = "/proc/self/fd/" + std::to_string(fd);
    std::string name;
    try {
        name = windowsPath(host);
        if (hostPath(name) != host) name.clear();  // no drive reaches it
    } catch (const VbError&) {
        name.clear();
    }
    if (name.empty()) {
        ::close(fd);
        return std::nullopt;
    }
    return MemoryFile(fd, std::move(name));
}

MemoryFile::MemoryFile(MemoryFile&& other) noexcept : fd_(std::exchange(other.fd_, -1)), name_(std::move(other.name_)) {}

MemoryFile::~MemoryFile() {
    if (fd_ < 0) return;
    try {
        wipe();
    } catch (const VbError&) {
        // Closing releases the memory all the same.
    }
    ::close(fd_);
}

void MemoryFile::write(std::string_view bytes) {
    wipe();
    writeAll(fd_, bytes);
}

void MemoryFile::wipe() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) raiseErrno(errno, "memory file");
    if (st.st_size > 0) {
        const std::string zeros(static_cast<size_t>(st.st_size), '\0');
        writeAll(fd_, zeros);
    }
    if (::ftruncate(fd_, 0) != 0) raiseErrno(errno, "memory file");
}

}  // namespace varkel::platform
