#include "DocumentContent.h"

#include "CodePage.h"
#include "VbError.h"
#include "WinPath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varkel::platform {
namespace fs = std::filesystem;
namespace {

// One open descriptor, closed on every way out.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, so that a failure to write back on close is seen.
    int close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

[[noreturn]] void fail(int err, std::string_view name) { raiseErrno(err, std::string(name)); }

void readWhole(int fd, std::string& bytes, std::string_view name) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno, name);
        if (n == 0) {  // shorter than its length said: changed meanwhile
            bytes.resize(done);
            return;
        }
        done += static_cast<size_t>(n);
    }
}

void writeWhole(int fd, std::string_view bytes, std::string_view name) {
    for (size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(errno, name);
        done += static_cast<size_t>(n);
    }
}

// Opens without following a link (ELOOP) and without waiting on a FIFO. The name as spelt is
// tried first: it is the file, and a look-up of its letter case would cost a round trip more.
int openDocument(std::string_view winPath, std::filesystem::path& host) {
    const auto open = [&] { return ::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); };
    host = hostPathAsSpelt(winPath);
    const int fd = open();
    if (fd >= 0 || (errno != ENOENT && errno != ENOTDIR)) return fd;
    const fs::path spelt = host;
    host = hostPath(winPath);
    if (host == spelt) {
        errno = ENOENT;
        return -1;
    }
    return open();
}

}  // namespace

DocumentContent readDocument(std::string_view winPath, uint64_t maxBytes) {
    DocumentContent document;
    Descriptor fd(openDocument(winPath, document.host));
    const int err = errno;
    document.scratch = document.host.parent_path() / (cp1252ToUtf8(bareName(winPath)) + kScratchSuffix);
    if (fd.get() < 0) {
        if (err == ENOENT || err == ENOTDIR) return document;  // Missing
        if (err == ELOOP) {
            document.kind = DocumentContent::Kind::Other;
            return document;
        }
        fail(err, winPath);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fail(errno, winPath);
    document.kind = DocumentContent::Kind::Other;
    if (!S_ISREG(st.st_mode) || static_cast<uint64_t>(st.st_size) > maxBytes) return document;
    document.owner = st.st_uid;
    document.group = st.st_gid;
    document.mode = st.st_mode & 07777;
    // One byte more than the length says: a file that grew meanwhile fills it, and is then left
    // to be handled by name rather than read in part.
    const size_t length = static_cast<size_t>(st.st_size);
    document.bytes.resize(length + 1);
    readWhole(fd.get(), document.bytes, winPath);
    if (document.bytes.size() > length) {
        wipe(document.bytes);
        return document;
    }
    document.kind = DocumentContent::Kind::Read;
    return document;
}

ScratchCopy writeScratch(const DocumentContent& document, std::string_view content) {
    const std::string scratch = document.scratch.string();
    ScratchCopy copy{document.scratch, document.host};
    // Created with the document's permission bits (as far as the umask lets them through): the
    // content is encrypted, and most often no change of mode is needed afterwards.
    const auto open = [&] {
        return ::open(copy.host.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC,
                      static_cast<mode_t>(document.mode & 0777));
    };
    int opened = open();
    if (opened < 0 && (errno == EACCES || errno == EPERM) && ::unlink(copy.host.c_str()) == 0)
        opened = open();  // an unfinished copy left by another account
    Descriptor fd(opened);
    if (fd.get() < 0) fail(errno, scratch);  // a link there is ELOOP: error 75
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) fail(errno, scratch);
    if (!S_ISREG(st.st_mode)) raise(kPathFileAccess, std::string(scratch) + " is no regular file");
    writeWhole(fd.get(), content, scratch);
    // The owner first: a change of owner clears the set-id bits, which the mode then restores.
    // Only root gives a file away; anyone else keeps the group where they belong to it.
    const bool otherOwner = st.st_uid != document.owner || st.st_gid != document.group;
    if (otherOwner && ::fchown(fd.get(), document.owner, document.group) != 0)
        (void)::fchown(fd.get(), static_cast<uid_t>(-1), document.group);
    if ((otherOwner || (st.st_mode & 07777) != document.mode) && ::fchmod(fd.get(), document.mode) != 0)
        fail(errno, scratch);
    if (::fsync(fd.get()) != 0) fail(errno, scratch);
    if (fd.close() != 0) fail(errno, scratch);
    return copy;
}

void putInPlace(const ScratchCopy& copy) {
    if (::rename(copy.host.c_str(), copy.document.c_str()) != 0) raiseErrno(errno, copy.host.string());
}

void removeScratch(const DocumentContent& document) noexcept {
    struct stat st {};
    if (::lstat(document.scratch.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::unlink(document.scratch.c_str());
}

void wipe(std::string& bytes) {
    // Through a volatile pointer, so that the compiler cannot drop the overwrite of memory that
    // is released right after.
    volatile char* p = bytes.data();
    for (size_t i = 0; i < bytes.size(); ++i) p[i] = 0;
    bytes.clear();
    bytes.shrink_to_fit();
}

}  // namespace varkel::platform
