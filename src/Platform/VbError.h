// Run-time errors of the legacy runtime: every failure carries one of these numbers.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

namespace varkel::platform {

enum VbErrorNumber : int32_t {
    kInvalidArgument = 5,
    kOverflow = 6,
    kSubscriptOutOfRange = 9,
    kBadFileName = 52,
    kFileNotFound = 53,
    kDeviceIo = 57,
    kDiskFull = 61,
    kInputPastEnd = 62,
    kPermissionDenied = 70,
    kPathFileAccess = 75,
    kPathNotFound = 76,
};

// The text the legacy runtime shows for an error number.
const char* vbErrorText(int32_t number);

class VbError : public std::exception {
public:
    explicit VbError(int32_t number, std::string detail = {});
    int32_t number() const noexcept { return number_; }
    const std::string& detail() const noexcept { return detail_; }
    const char* what() const noexcept override { return message_.c_str(); }

private:
    int32_t number_;
    std::string detail_;
    std::string message_;
};

[[noreturn]] void raise(int32_t number, std::string detail = {});

// Maps a POSIX errno to the legacy number. `missingMeansPath` chooses 76 over 53
// for ENOENT when the folder rather than the file is missing.
int32_t vbNumberForErrno(int err, bool missingMeansPath = false);
[[noreturn]] void raiseErrno(int err, const std::string& what, bool missingMeansPath = false);

}  // namespace varkel::platform
