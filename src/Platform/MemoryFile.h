// A file that lives in memory only, for plaintext that code reading files by name must see but
// that must never reach a disk. Other processes cannot open it; it is gone with the object.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varkel::platform {

class MemoryFile {
public:
    // A memory file, or nothing where this system offers none or gives it no Windows-style name.
    static std::optional<MemoryFile> create();
    MemoryFile(MemoryFile&& other) noexcept;
    MemoryFile& operator=(MemoryFile&&) = delete;
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    // Wipes the content and releases the file.
    ~MemoryFile();

    // The Windows-style name under which this process opens it.
    const std::string& name() const { return name_; }
    // Replaces the content.
    void write(std::string_view bytes);
    // Overwrites the content with zeros and empties the file.
    void wipe();

private:
    MemoryFile(int fd, std::string name) : fd_(fd), name_(std::move(name)) {}
    int fd_ = -1;
    std::string name_;
};

}  // namespace varkel::platform
