#include "DocumentContent.h"

#include "CodePage.h"
#include "HostIo.h"
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

using hostio::Descriptor;

[[noreturn]] void fail(int err, std::string_view name) { raiseErrno(err, std::string(name)); }

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
    size_t got = 0;
    if (const int err = hostio::readAt(fd.get(), 0, document.bytes.data(), document.bytes.size(), got))
        fail(err, winPath);
    document.bytes.resize(got);
    if (got > length) {
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
    if (const int err = hostio::writeAt(fd.get(), 0, content.data(), content.size())) fail(err, scratch);
    if (const int err = hostio::giveAttributes(fd.get(), st, document.owner, document.group, document.mode))
        fail(err, scratch);
    if (::fsync(fd.get()) != 0) fail(errno, scratch);
    if (const int err = fd.close()) fail(err, scratch);
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
