#include "MemoryFile.h"

#include "VbError.h"
#include "WinPath.h"

#include <cerrno>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varkel::platform {
namespace {

void writeAll(int fd, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) raiseErrno(errno, "memory file");
        done += static_cast<size_t>(n);
    }
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
    writeAll(fd_, bytes.data(), bytes.size());
}

void MemoryFile::wipe() {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) raiseErrno(errno, "memory file");
    if (st.st_size > 0) {
        const std::string zeros(static_cast<size_t>(st.st_size), '\0');
        writeAll(fd_, zeros.data(), zeros.size());
    }
    if (::ftruncate(fd_, 0) != 0) raiseErrno(errno, "memory file");
}

}  // namespace varkel::platform
