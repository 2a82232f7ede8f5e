#include "SecureRandom.h"

#include "VbError.h"

#include <cerrno>
#include <sys/random.h>

namespace varkel::platform {

void secureRandomBytes(void* data, size_t size) {
    auto* out = static_cast<unsigned char*>(data);
    while (size > 0) {
        const ssize_t got = ::getrandom(out, size, 0);
        if (got < 0) {
            if (errno == EINTR) continue;
            raise(kDeviceIo, "secure random source");
        }
        out += got;
        size -= static_cast<size_t>(got);
    }
}

}  // namespace varkel::platform
