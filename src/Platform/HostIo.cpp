#include "HostIo.h"

#include <cerrno>
#include <unistd.h>

namespace varkel::platform::hostio {

Descriptor::~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
}

int Descriptor::close() { return ::close(std::exchange(fd_, -1)) == 0 ? 0 : errno; }

int readAt(int fd, uint64_t offset, void* data, size_t size, size_t& got) {
    auto* out = static_cast<char*>(data);
    for (got = 0; got < size;) {
        const ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return 0;
}

int writeAt(int fd, uint64_t offset, const void* data, size_t size) {
    const auto* in = static_cast<const char*>(data);
    for (size_t done = 0; done < size;) {
        const ssize_t n = ::pwrite(fd, in + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        done += static_cast<size_t>(n);
    }
    return 0;
}

int giveAttributes(int fd, const struct stat& now, uid_t owner, gid_t group, mode_t mode) {
    mode &= 07777;
    // The owner first: a change of owner clears the set-id bits, which the mode then restores.
    const bool otherOwner = now.st_uid != owner || now.st_gid != group;
    if (otherOwner && ::fchown(fd, owner, group) != 0) (void)::fchown(fd, static_cast<uid_t>(-1), group);
    if ((otherOwner || (now.st_mode & 07777) != mode) && ::fchmod(fd, mode) != 0) return errno;
    return 0;
}

}  // namespace varkel::platform::hostio
