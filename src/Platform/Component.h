// The in-process component runtime: registration of a class in a per-user registry file and
// where a component library is found (the shared interface is in ComponentAbi.h).
#pragma once

#include "ComponentAbi.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

std::string toString(const Guid& id);  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"

// `$XDG_CONFIG_HOME/varkel/components` (default `~/.config/varkel/components`): one
// "{class id} /path/to/library" per line.
std::filesystem::path componentRegistryFile();
void registerComponent(const Guid& classId, const std::filesystem::path& library);
void unregisterComponent(const Guid& classId);
std::optional<std::filesystem::path> registeredLibrary(const Guid& classId);

// The file of the loaded module that holds `address`, and the folder of the running program.
std::filesystem::path modulePathOf(const void* address);
std::filesystem::path programFolder();

// The library files that may serve `classId`, in the order they are tried: the registered
// library, then `libraryFile` beside the program (a build tree), then `libraryFile` in the
// installation's component folder, which lies at a fixed place relative to the programs'
// folder (`bin/../lib/varkel` for an installation under one prefix).
std::vector<std::filesystem::path> componentCandidates(const Guid& classId, std::string_view libraryFile,
                                                       const std::filesystem::path& programFolder);
// The first of the candidates that is a file. Throws std::runtime_error naming every candidate
// when none is.
std::filesystem::path findComponent(const Guid& classId, std::string_view libraryFile,
                                    const std::filesystem::path& programFolder);

}  // namespace varkel::platform
