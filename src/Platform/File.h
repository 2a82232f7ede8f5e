// Files with the legacy open modes: every failure raises a VbError with the legacy number.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

enum class OpenMode {
    Input,   // read; a missing file is error 53
    Output,  // created anew (emptied)
    Append,  // created when missing, written at its end
    Random,  // read and write anywhere; created empty when missing
};

struct OpenOptions {
    // Files that hold key material or plaintext are created readable by their owner only, and
    // one that exists already loses any access of others before anything is written to it.
    bool ownerOnly = false;
    // A file opened for writing is never reached through a symbolic link, unless it is a
    // user's document, which may be a link to a regular file. Files opened for input are
    // always read through links.
    bool followLinks = false;
};

// One open host file (RAII). Only regular files open: a folder, FIFO, device or socket is
// error 75, found without waiting on it, as is a link where links are not followed. Closing
// reports write errors through close(); the destructor closes silently.
class File {
public:
    File(std::string_view winPath, OpenMode mode, OpenOptions options = {});
    File(File&& other) noexcept;
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    ~File();

    const std::filesystem::path& host() const { return host_; }
    const std::string& name() const { return name_; }
    // The length as the file system has it now, not as a network client last cached it.
    uint64_t length() const;
    // Whether the file holds at least one byte (its length, and a byte read to confirm it).
    bool holdsData() const;
    // Reads up to `size` bytes at `offset`; fewer at the end of the file.
    size_t readAt(uint64_t offset, void* data, size_t size) const;
    void writeAt(uint64_t offset, const void* data, size_t size);
    void writeAt(uint64_t offset, std::string_view data) { writeAt(offset, data.data(), data.size()); }
    // Appends at the end (Output and Append modes).
    void append(std::string_view data);
    void truncate(uint64_t size);
    void sync();
    void close();
    bool isOpen() const { return fd_ >= 0; }

private:
    int fd_ = -1;
    std::filesystem::path host_;
    std::string name_;
};

// A file of fixed-length records, numbered from 1.
class RecordFile {
public:
    RecordFile(std::string_view winPath, size_t recordLength, OpenOptions options = {});
    size_t recordLength() const { return recordLength_; }
    uint64_t length() const { return file_.length(); }
    // Record `r`; shorter (or empty) past the end of the file.
    std::string get(uint64_t r) const;
    // Writes `data` as record `r`, padded with blanks or cut to the record length.
    void put(uint64_t r, std::string_view data);
    // Records `first` to `first + count - 1` in one read; the last ones shorter (or empty) past
    // the end of the file.
    std::vector<std::string> getRecords(uint64_t first, size_t count) const;
    // Writes `records` from record `first` on in one write, each padded with blanks or cut to
    // the record length.
    void putRecords(uint64_t first, const std::vector<std::string>& records);
    File& file() { return file_; }
    void close() { file_.close(); }

private:
    File file_;
    size_t recordLength_;
};

// Sequential text input with the legacy reading rules.
class TextReader {
public:
    explicit TextReader(std::string_view winPath);
    bool eof() const { return pos_ >= text_.size(); }
    // One whole line without its end (CR LF, CR or LF). Error 62 at the end of the file.
    std::string lineInput();
    // One field: leading blanks skipped, ends at a comma or the line end, enclosing quotes removed.
    std::string inputField();
    // One numeric field: like a field, but a blank also ends it; its leading number.
    double inputNumber();

private:
    void skipBlanks();
    void skipDelimiter();
    std::string text_;
    size_t pos_ = 0;
};

// Sequential text output; every line ends in CR LF.
class TextWriter {
public:
    TextWriter(std::string_view winPath, OpenMode mode, OpenOptions options = {});
    void printLine(std::string_view line);
    void print(std::string_view text);
    void close();

private:
    File file_;
};

// What a name reaches, looked at without opening it (so without waiting on a FIFO).
enum class FileKind {
    Missing,
    Regular,
    LinkToRegular,  // a symbolic link whose target is a regular file
    Other,          // a folder, FIFO, device, socket, or a link to anything else or to nothing
};
FileKind fileKind(std::string_view winPath);

// Whole-file helpers.
// Whether an ordinary file (or a link to one) of that name exists. A network client may
// answer a look-up from its cache after another machine created or removed the file, so the
// answer comes from opening the file.
bool fileExists(std::string_view winPath);
bool folderExists(std::string_view winPath);
void deleteFile(std::string_view winPath);              // error 53 when missing
// Replaces `to` by a copy of `from`; `flushToDisk` makes the copy reach the disk before it returns.
void copyFile(std::string_view from, std::string_view to, bool flushToDisk = false);
void renameFile(std::string_view from, std::string_view to);  // `to` must not exist
void replaceFile(std::string_view from, std::string_view to);  // atomic rename over `to`
// Gives `scratch` the owner, group and permission bits of `model`, as far as this user may set
// them (only root gives a file away; another user keeps the group when they belong to it), so
// that a file taking `model`'s place is open to the same people.
void copyAttributes(std::string_view model, std::string_view scratch);
// Renames `from` over `to` in one step; the file keeps the attributes of the one it replaces,
// or, where `to` is new, gets the group of its folder and no access for others (mode 0660).
// Used wherever a document is replaced, so that every user of a shared folder keeps access.
// Where `to` is a link to a file, that file is replaced and the link stays.
void replaceKeepingAttributes(std::string_view from, std::string_view to);
uint64_t fileLength(std::string_view winPath);          // error 53 when missing
// Creates the file only when no file of that name exists (an exclusive create, which also
// holds on shared network folders), writes `content` and flushes it. False when it exists,
// whatever error the file system reports for that; a create that fails while no file of the
// name is there raises the error.
bool createExclusive(std::string_view winPath, std::string_view content);
// True when the files (or, for a missing one, the folders they would be in) lie on one file
// system, so that a rename can move one over the other. Links are followed to their target.
bool sameFileSystem(std::string_view a, std::string_view b);
// True when both names reach the same file (same host path, or the same file by identity).
bool sameFile(std::string_view a, std::string_view b);
// Flushes the folder that holds `winPath`, so that a file created or renamed in it stays
// there after a crash. File systems that cannot flush a folder are left as they are.
void syncFolderOf(std::string_view winPath);

// The ordinary files (or sub-folders) of a folder, names only, ignoring names that start
// with "."; sorted without regard to case.
std::vector<std::string> listFiles(std::string_view winFolder);
std::vector<std::string> listFolders(std::string_view winFolder);

}  // namespace varkel::platform
