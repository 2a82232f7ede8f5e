// Random bytes from the operating system's secure source, for key material.
#pragma once

#include <cstddef>

namespace varkel::platform {

// Fills `data` with `size` bytes from the kernel's cryptographically secure generator.
// Throws VbError 57 when the source fails.
void secureRandomBytes(void* data, size_t size);

}  // namespace varkel::platform
