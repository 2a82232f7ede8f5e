#include "File.h"

#include "CodePage.h"
#include "HostIo.h"
#include "Numbers.h"
#include "VbError.h"
#include "WinPath.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <dirent.h>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace varkel::platform {
namespace fs = std::filesystem;
namespace {

bool parentMissing(const fs::path& host) {
    struct stat st {};
    const fs::path parent = host.parent_path();
    return !parent.empty() && ::stat(parent.c_str(), &st) != 0;
}

[[noreturn]] void raiseFor(int err, const fs::path& host, std::string_view name) {
    raiseErrno(err, std::string(name), err == ENOENT && parentMissing(host));
}

// What the file itself says about a name. An open reaches the file server, where a stat or a
// look-up may be answered from a network client's cache.
enum class Presence { File, NotFile, Missing, Unknown };

Presence lookThroughOpen(const fs::path& host) {
    const int fd = ::open(host.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Presence::Missing : Presence::Unknown;
    struct stat st {};
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return regular ? Presence::File : Presence::NotFile;
}

void pause(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

// Opens the file; a create that a network client refuses with ENOENT because it still holds
// an entry for a file another machine removed is tried again until that entry has expired.
int openCreatingThroughStaleEntries(const fs::path& host, int flags, mode_t perms) {
    constexpr int kStaleEntryRetries = 150;  // 10 ms apart: longer than a client's entry cache
    for (int retry = 0;; ++retry) {
        const int fd = ::open(host.c_str(), flags, perms);
        if (fd >= 0 || errno != ENOENT || (flags & O_CREAT) == 0 || retry == kStaleEntryRetries ||
            parentMissing(host))
            return fd;
        pause(10);
    }
}

int openFlags(OpenMode mode) {
    switch (mode) {
    case OpenMode::Input: return O_RDONLY;
    case OpenMode::Output: return O_WRONLY | O_CREAT | O_TRUNC;
    case OpenMode::Append: return O_WRONLY | O_CREAT | O_APPEND;
    case OpenMode::Random: return O_RDWR | O_CREAT;
    }
    return O_RDONLY;
}

bool writes(OpenMode mode) { return mode != OpenMode::Input; }

// Opens without waiting: a FIFO or device must be refused, not block the opening.
int openHost(const fs::path& host, OpenMode mode, const OpenOptions& options) {
    const mode_t perms = options.ownerOnly ? 0600 : 0666;
    const int flags = openFlags(mode) | O_CLOEXEC | O_NONBLOCK;
    if (!writes(mode)) return ::open(host.c_str(), flags);
    if (!options.followLinks) return openCreatingThroughStaleEntries(host, flags | O_NOFOLLOW, perms);
    // A document may be a link to a file, but a dangling link must not create its target.
    const int fd = ::open(host.c_str(), flags & ~O_CREAT);
    if (fd >= 0 || errno != ENOENT || (flags & O_CREAT) == 0) return fd;
    const int created = openCreatingThroughStaleEntries(host, flags | O_EXCL | O_NOFOLLOW, perms);
    if (created < 0 && errno == EEXIST) errno = ELOOP;  // a dangling link: error 75
    return created;
}

}  // namespace

File::File(std::string_view winPath, OpenMode mode, OpenOptions options)
    : host_(hostPath(winPath)), name_(winPath) {
    fd_ = openHost(host_, mode, options);
    if (fd_ < 0) raiseFor(errno, host_, name_);
    const auto fail = [this](int err) {
        ::close(std::exchange(fd_, -1));
        if (err == 0) raise(kPathFileAccess, name_ + " is no regular file");
        raiseFor(err, host_, name_);
    };
    struct stat st {};
    if (::fstat(fd_, &st) != 0) fail(errno);
    if (!S_ISREG(st.st_mode)) fail(0);
    // Key material must not go into a file that others can read.
    if (options.ownerOnly && writes(mode) && !options.followLinks && (st.st_mode & 077) != 0 &&
        ::fchmod(fd_, st.st_mode & 07700) != 0)
        fail(errno);
    // Of the flags that can change, only O_APPEND was asked for.
    if (::fcntl(fd_, F_SETFL, mode == OpenMode::Append ? O_APPEND : 0) != 0) fail(errno);
}

File::File(File&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), host_(std::move(other.host_)), name_(std::move(other.name_)) {}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        host_ = std::move(other.host_);
        name_ = std::move(other.name_);
    }
    return *this;
}

File::~File() {
    if (fd_ >= 0) ::close(fd_);
}

uint64_t File::length() const {
    // Asked of the file system itself: a network client would otherwise answer with the size
    // it cached before another machine changed the file, and would read no further than that.
    struct statx st {};
    if (::statx(fd_, "", AT_EMPTY_PATH | AT_STATX_FORCE_SYNC, STATX_SIZE, &st) != 0) raiseFor(errno, host_, name_);
    return static_cast<uint64_t>(st.stx_size);
}

bool File::holdsData() const {
    char byte = 0;
    return length() > 0 && readAt(0, &byte, 1) == 1;
}

size_t File::readAt(uint64_t offset, void* data, size_t size) const {
    size_t got = 0;
    if (const int err = hostio::readAt(fd_, offset, data, size, got)) raiseFor(err, host_, name_);
    return got;
}

void File::writeAt(uint64_t offset, const void* data, size_t size) {
    if (const int err = hostio::writeAt(fd_, offset, data, size)) raiseFor(err, host_, name_);
}

void File::append(std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd_, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            raiseFor(errno, host_, name_);
        }
        done += static_cast<size_t>(n);
    }
}

void File::truncate(uint64_t size) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) != 0) raiseFor(errno, host_, name_);
}

void File::sync() {
    if (::fsync(fd_) != 0) raiseFor(errno, host_, name_);
}

void File::close() {
    if (fd_ < 0) return;
    const int fd = std::exchange(fd_, -1);
    if (::close(fd) != 0 && errno != EINTR) raiseFor(errno, host_, name_);
}

RecordFile::RecordFile(std::string_view winPath, size_t recordLength, OpenOptions options)
    : file_(winPath, OpenMode::Random, options), recordLength_(recordLength) {
    if (recordLength == 0) raise(kInvalidArgument, "record length 0");
}

std::string RecordFile::get(uint64_t r) const { return std::move(getRecords(r, 1).front()); }

void RecordFile::put(uint64_t r, std::string_view data) { putRecords(r, {std::string(data)}); }

std::vector<std::string> RecordFile::getRecords(uint64_t first, size_t count) const {
    if (first < 1) raise(kBadFileName, "record number below 1");
    std::string data(recordLength_ * count, '\0');
    data.resize(file_.readAt((first - 1) * recordLength_, data.data(), data.size()));
    std::vector<std::string> records(count);
    for (size_t i = 0; i < count && i * recordLength_ < data.size(); ++i)
        records[i] = data.substr(i * recordLength_, recordLength_);
    return records;
}

void RecordFile::putRecords(uint64_t first, const std::vector<std::string>& records) {
    if (first < 1) raise(kBadFileName, "record number below 1");
    std::string data;
    data.reserve(recordLength_ * records.size());
    for (const std::string& record : records) {
        const size_t kept = std::min(record.size(), recordLength_);
        data.append(record, 0, kept).append(recordLength_ - kept, ' ');
    }
    file_.writeAt((first - 1) * recordLength_, data);
}

TextReader::TextReader(std::string_view winPath) {
    // Read to the end rather than to the length: a network client may report a length it
    // cached before another machine added to the file.
    File file(winPath, OpenMode::Input);
    text_.resize(std::max<uint64_t>(file.length(), 4096));
    for (size_t size = 0;;) {
        size += file.readAt(size, text_.data() + size, text_.size() - size);
        if (size < text_.size()) {
            text_.resize(size);
            break;
        }
        text_.resize(text_.size() * 2);
    }
}

std::string TextReader::lineInput() {
    if (eof()) raise(kInputPastEnd);
    const size_t end = text_.find_first_of("\r\n", pos_);
    std::string line = text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
    pos_ = end == std::string::npos ? text_.size() : end;
    if (pos_ < text_.size() && text_[pos_] == '\r') ++pos_;
    if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    return line;
}

void TextReader::skipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
}

void TextReader::skipDelimiter() {
    skipBlanks();
    if (pos_ >= text_.size()) return;
    if (text_[pos_] == ',') {
        ++pos_;
    } else if (text_[pos_] == '\r') {
        ++pos_;
        if (pos_ < text_.size() && text_[pos_] == '\n') ++pos_;
    } else if (text_[pos_] == '\n') {
        ++pos_;
    }
}

std::string TextReader::inputField() {
    skipBlanks();
    if (eof()) raise(kInputPastEnd);
    std::string field;
    if (text_[pos_] == '"') {
        const size_t close = text_.find('"', pos_ + 1);
        const size_t end = close == std::string::npos ? text_.size() : close;
        field = text_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = close == std::string::npos ? text_.size() : close + 1;
        // Anything after the closing quote up to the delimiter is not part of the field.
        const size_t delim = text_.find_first_of(",\r\n", pos_);
        pos_ = delim == std::string::npos ? text_.size() : delim;
    } else {
        const size_t end = text_.find_first_of(",\r\n", pos_);
        field = text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
        pos_ = end == std::string::npos ? text_.size() : end;
    }
    skipDelimiter();
    return field;
}

double TextReader::inputNumber() {
    skipBlanks();
    if (eof()) raise(kInputPastEnd);
    const size_t end = text_.find_first_of(" \t,\r\n", pos_);
    const std::string token = text_.substr(pos_, end == std::string::npos ? std::string::npos : end - pos_);
    pos_ = end == std::string::npos ? text_.size() : end;
    skipDelimiter();
    return val(token);
}

TextWriter::TextWriter(std::string_view winPath, OpenMode mode, OpenOptions options)
    : file_(winPath, mode, options) {}

void TextWriter::printLine(std::string_view line) {
    std::string text(line);
    text += "\r\n";
    file_.append(text);
}

void TextWriter::print(std::string_view text) { file_.append(text); }

void TextWriter::close() { file_.close(); }

FileKind fileKind(std::string_view winPath) {
    const fs::path host = hostPath(winPath);
    struct stat st {};
    if (::lstat(host.c_str(), &st) != 0) {
        if (errno == ENOENT) return FileKind::Missing;
        raiseFor(errno, host, winPath);
    }
    if (S_ISREG(st.st_mode)) return FileKind::Regular;
    if (!S_ISLNK(st.st_mode)) return FileKind::Other;
    return ::stat(host.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? FileKind::LinkToRegular : FileKind::Other;
}

bool fileExists(std::string_view winPath) {
    const fs::path host = hostPath(winPath);
    struct stat st {};
    const int found = ::stat(host.c_str(), &st);
    const bool statSaysFile = found == 0 && S_ISREG(st.st_mode);
    if (found == 0 ? !statSaysFile : errno != ENOENT) return false;  // a folder, a device, a bad path
    switch (lookThroughOpen(host)) {
    case Presence::File: return true;
    case Presence::NotFile:
    case Presence::Missing: return false;
    case Presence::Unknown: break;  // unreadable, for one: the look-up is all there is
    }
    return statSaysFile;
}

bool folderExists(std::string_view winPath) {
    struct stat st {};
    return ::stat(hostPath(winPath).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void deleteFile(std::string_view winPath) {
    const fs::path host = hostPath(winPath);
    if (::unlink(host.c_str()) != 0) raiseFor(errno, host, winPath);
}

void copyFile(std::string_view from, std::string_view to, bool flushToDisk) {
    File in(from, OpenMode::Input);
    File out(to, OpenMode::Output);
    std::string buffer(1 << 20, '\0');
    for (uint64_t offset = 0;;) {
        const size_t n = in.readAt(offset, buffer.data(), buffer.size());
        if (n == 0) break;
        out.writeAt(offset, buffer.data(), n);
        offset += n;
    }
    if (flushToDisk) out.sync();
    out.close();
}

void renameFile(std::string_view from, std::string_view to) {
    const fs::path source = hostPath(from);
    const fs::path target = hostPath(to);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0) raise(kPathFileAccess, std::string(to) + " exists");
    if (::rename(source.c_str(), target.c_str()) != 0) raiseFor(errno, source, from);
}

void replaceFile(std::string_view from, std::string_view to) {
    const fs::path source = hostPath(from);
    const fs::path target = hostPath(to);
    if (::rename(source.c_str(), target.c_str()) != 0) raiseFor(errno, source, from);
}

namespace {

// Gives a file attributes: never through a link, never a special file.
void setAttributes(const fs::path& host, std::string_view name, uid_t owner, gid_t group, mode_t mode) {
    hostio::Descriptor fd(::open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0) raiseFor(errno, host, name);  // a link is ELOOP: error 75
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) raise(kPathFileAccess, std::string(name));
    if (const int err = hostio::giveAttributes(fd.get(), st, owner, group, mode)) raiseFor(err, host, name);
}

}  // namespace

void copyAttributes(std::string_view model, std::string_view scratch) {
    const fs::path source = hostPath(model);
    struct stat st {};
    if (::stat(source.c_str(), &st) != 0) raiseFor(errno, source, model);
    setAttributes(hostPath(scratch), scratch, st.st_uid, st.st_gid, st.st_mode);
}

void replaceKeepingAttributes(std::string_view from, std::string_view to) {
    const fs::path source = hostPath(from);
    fs::path target = hostPath(to);
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        // A document that is a link keeps its link: the new content replaces the link's target.
        std::error_code ec;
        target = fs::canonical(target, ec);
        if (ec) raise(kPathFileAccess, std::string(to) + " is a link to no file");
    }
    if (::stat(target.c_str(), &st) == 0) {
        if (!S_ISREG(st.st_mode)) raise(kPathFileAccess, std::string(to) + " is no regular file");
        setAttributes(source, from, st.st_uid, st.st_gid, st.st_mode);
    } else {
        struct stat folder {};
        const fs::path parent = target.parent_path();
        if (::stat(parent.empty() ? "." : parent.c_str(), &folder) != 0) raiseFor(errno, target, to);
        setAttributes(source, from, ::geteuid(), folder.st_gid, 0660);
    }
    if (::rename(source.c_str(), target.c_str()) != 0) raiseFor(errno, source, from);
}

namespace {

void writeNewFile(int fd, const fs::path& host, std::string_view name, std::string_view content) {
    const int written = static_cast<int>(::write(fd, content.data(), content.size()));
    const int err = errno;
    ::fsync(fd);
    ::close(fd);
    if (written != static_cast<int>(content.size())) {
        ::unlink(host.c_str());
        raiseFor(written < 0 ? err : ENOSPC, host, name);
    }
}

}  // namespace

bool createExclusive(std::string_view winPath, std::string_view content) {
    constexpr int kAttempts = 4;
    const fs::path host = hostPath(winPath);
    for (int attempt = 1;; ++attempt) {
        const int fd = ::open(host.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd >= 0) {
            writeNewFile(fd, host, winPath, content);
            return true;
        }
        const int err = errno;
        // A network client may report a create that lost to an existing file as EPERM or EIO,
        // and may report EEXIST from a cached entry of a file another machine has removed:
        // the file itself decides. One that has gone meanwhile is tried again.
        const Presence presence = lookThroughOpen(host);
        if (presence == Presence::File || presence == Presence::NotFile) return false;
        if (presence == Presence::Missing && attempt < kAttempts) {
            pause(attempt * 2);
            continue;
        }
        if (err == EEXIST) return false;  // a stale entry: the caller comes back once it expires
        raiseFor(err, host, winPath);
    }
}

uint64_t fileLength(std::string_view winPath) { return File(winPath, OpenMode::Input).length(); }

namespace {

// The device of the file, or of the folder that would hold it; nothing when neither is there.
std::optional<dev_t> deviceOf(std::string_view winPath) {
    const fs::path host = hostPath(winPath);
    struct stat st {};
    if (::stat(host.c_str(), &st) == 0) return st.st_dev;
    const fs::path parent = host.parent_path();
    if (::stat(parent.empty() ? "." : parent.c_str(), &st) == 0) return st.st_dev;
    return std::nullopt;
}

}  // namespace

bool sameFileSystem(std::string_view a, std::string_view b) {
    const auto deviceA = deviceOf(a);
    const auto deviceB = deviceOf(b);
    return !deviceA || !deviceB || *deviceA == *deviceB;
}

bool sameFile(std::string_view a, std::string_view b) {
    const fs::path hostA = hostPath(a);
    const fs::path hostB = hostPath(b);
    if (hostA.lexically_normal() == hostB.lexically_normal()) return true;
    struct stat sa {}, sb {};
    return ::stat(hostA.c_str(), &sa) == 0 && ::stat(hostB.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

void syncFolderOf(std::string_view winPath) {
    const fs::path folder = hostPath(winPath).parent_path();
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) raiseErrno(errno, std::string(winPath), true);
    const int result = ::fsync(fd);
    const int err = errno;
    ::close(fd);
    if (result != 0 && err != EINVAL && err != EROFS) raiseFor(err, folder, winPath);
}

namespace {

std::vector<std::string> listEntries(std::string_view winFolder, bool wantFolders) {
    const fs::path host = hostPath(winFolder);
    DIR* dir = ::opendir(host.c_str());
    if (dir == nullptr) raiseErrno(errno, std::string(winFolder), true);
    std::vector<std::string> names;
    while (dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.') continue;
        struct stat st {};
        if (::stat((host / name).c_str(), &st) != 0) continue;
        if (wantFolders ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode)) names.push_back(utf8ToCp1252(name));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return toLower(a) < toLower(b); });
    return names;
}

}  // namespace

std::vector<std::string> listFiles(std::string_view winFolder) { return listEntries(winFolder, false); }
std::vector<std::string> listFolders(std::string_view winFolder) { return listEntries(winFolder, true); }

}  // namespace varkel::platform
