// The in-process component runtime: registration of a class in a per-user registry file and
// creation of objects through the class factory of the library that serves the class.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varkel::platform {

// A class or interface identifier.
struct Guid {
    uint32_t data1;
    uint16_t data2;
    uint16_t data3;
    uint8_t data4[8];
    bool operator==(const Guid&) const = default;
};

std::string toString(const Guid& id);  // "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}"

// Result codes of the component entry points.
inline constexpr int32_t kOk = 0;
inline constexpr int32_t kFalse = 1;
inline constexpr int32_t kNoInterface = static_cast<int32_t>(0x80004002u);
inline constexpr int32_t kPointer = static_cast<int32_t>(0x80004003u);
inline constexpr int32_t kFail = static_cast<int32_t>(0x80004005u);
inline constexpr int32_t kOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr int32_t kClassNotAvailable = static_cast<int32_t>(0x80040111u);
inline constexpr int32_t kClassNotRegistered = static_cast<int32_t>(0x80040154u);

// The class factory that DllGetClassObject hands out.
class IClassFactory {
public:
    virtual int32_t CreateInstance(const Guid& interfaceId, void** object) = 0;
    virtual int32_t LockServer(bool lock) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IClassFactory() = default;
};

inline constexpr Guid kClassFactoryId = {0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

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

// Creates an object of `classId` with interface `interfaceId` through the first of the
// candidates above that exists. The library stays loaded for the life of the process. Throws
// std::runtime_error when no object can be made.
void* createComponent(const Guid& classId, const Guid& interfaceId, std::string_view libraryFile);

}  // namespace varkel::platform
