// Turns a request to terminate (SIGTERM, SIGINT, SIGHUP) into a readable descriptor, so that a
// program's event loop can close down in order instead of dying with its scratch files on disk.
#pragma once

namespace varkel::platform {

// Installs the handlers once and returns the descriptor that becomes readable when one of the
// signals arrives; -1 when it cannot be set up.
int terminationSignalDescriptor();

}  // namespace varkel::platform
