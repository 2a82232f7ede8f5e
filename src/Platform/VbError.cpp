#include "VbError.h"

#include <cerrno>
#include <cstring>

namespace varkel::platform {

const char* vbErrorText(int32_t number) {
    switch (number) {
    case kInvalidArgument: return "Invalid procedure call or argument";
    case kOverflow: return "Overflow";
    case kSubscriptOutOfRange: return "Subscript out of range";
    case kBadFileName: return "Bad file name or number";
    case kFileNotFound: return "File not found";
    case kDeviceIo: return "Device I/O error";
    case kDiskFull: return "Disk full";
    case kInputPastEnd: return "Input past end of file";
    case kPermissionDenied: return "Permission denied";
    case kPathFileAccess: return "Path/File access error";
    case kPathNotFound: return "Path not found";
    default: return "Application-defined or object-defined error";
    }
}

VbError::VbError(int32_t number, std::string detail)
    : number_(number), detail_(std::move(detail)) {
    message_ = vbErrorText(number_);
    if (!detail_.empty()) message_ += ": " + detail_;
}

void raise(int32_t number, std::string detail) { throw VbError(number, std::move(detail)); }

int32_t vbNumberForErrno(int err, bool missingMeansPath) {
    switch (err) {
    case ENOENT: return missingMeansPath ? kPathNotFound : kFileNotFound;
    case ENOTDIR: return kPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS: return kPermissionDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return kDiskFull;
    case EIO: return kDeviceIo;
    case ENAMETOOLONG:
    case EILSEQ:
    case EINVAL: return kBadFileName;
    default: return kPathFileAccess;
    }
}

void raiseErrno(int err, const std::string& what, bool missingMeansPath) {
    throw VbError(vbNumberForErrno(err, missingMeansPath), what + " (" + std::strerror(err) + ")");
}

}  // namespace varkel::platform
