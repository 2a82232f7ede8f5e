// Reading, writing and giving attributes through a host file descriptor: the loops and rules
// that every kind of file of the platform shares. Each call returns 0 or the errno of its
// failure, for the caller to raise under its file's name. For the platform's own use.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>
#include <utility>

namespace varkel::platform::hostio {

// One open descriptor, closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();
    int get() const { return fd_; }
    // Closes now, so that a failure to write back on close is seen: 0 or the errno.
    int close();

private:
    int fd_;
};

// Reads up to `size` bytes at `offset` into `data`; `got` tells how many (fewer at the end).
int readAt(int fd, uint64_t offset, void* data, size_t size, size_t& got);
// Writes all `size` bytes at `offset`.
int writeAt(int fd, uint64_t offset, const void* data, size_t size);
// Gives the open file, whose attributes are `now`, the owner (as far as this user may give it:
// only root gives a file away, anyone else keeps the group where they belong to it), the group
// and the permission bits; what is already so is left.
int giveAttributes(int fd, const struct stat& now, uid_t owner, gid_t group, mode_t mode);

}  // namespace varkel::platform::hostio
