#include "Component.h"

#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace varkel::platform {
namespace fs = std::filesystem;

std::string toString(const Guid& id) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", id.data1, id.data2,
                  id.data3, id.data4[0], id.data4[1], id.data4[2], id.data4[3], id.data4[4], id.data4[5],
                  id.data4[6], id.data4[7]);
    return text;
}

fs::path componentRegistryFile() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg != nullptr && *xdg != '\0') return fs::path(xdg) / "varkel" / "components";
    const char* home = std::getenv("HOME");
    return fs::path(home != nullptr ? home : "/") / ".config" / "varkel" / "components";
}

namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries readRegistry() {
    Entries entries;
    std::ifstream in(componentRegistryFile());
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string id, path;
        if (words >> id && std::getline(words >> std::ws, path) && !path.empty()) entries.emplace_back(id, path);
    }
    return entries;
}

void writeRegistry(const Entries& entries) {
    const fs::path file = componentRegistryFile();
    fs::create_directories(file.parent_path());
    const fs::path temp = file.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::trunc);
        for (const auto& [id, path] : entries) out << id << ' ' << path << '\n';
        if (!out) throw std::runtime_error("cannot write " + temp.string());
    }
    fs::rename(temp, file);
}

}  // namespace

void registerComponent(const Guid& classId, const fs::path& library) {
    Entries entries = readRegistry();
    std::erase_if(entries, [&](const auto& e) { return e.first == toString(classId); });
    entries.emplace_back(toString(classId), fs::absolute(library).string());
    writeRegistry(entries);
}

void unregisterComponent(const Guid& classId) {
    Entries entries = readRegistry();
    std::erase_if(entries, [&](const auto& e) { return e.first == toString(classId); });
    writeRegistry(entries);
}

std::optional<fs::path> registeredLibrary(const Guid& classId) {
    for (const auto& [id, path] : readRegistry())
        if (id == toString(classId)) return fs::path(path);
    return std::nullopt;
}

fs::path modulePathOf(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    return fs::absolute(info.dli_fname);
}

fs::path programFolder() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : exe.parent_path();
}

namespace {

using GetClassObject = int32_t (*)(const Guid*, const Guid*, void**);

GetClassObject entryPointOf(const fs::path& library) {
    // Loaded once and kept: objects of the library may live until the process ends.
    static std::mutex lock;
    std::lock_guard guard(lock);
    void* handle = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) throw std::runtime_error(std::string("cannot load component library: ") + ::dlerror());
    auto* entry = reinterpret_cast<GetClassObject>(::dlsym(handle, "DllGetClassObject"));
    if (entry == nullptr) throw std::runtime_error("no DllGetClassObject in " + library.string());
    return entry;
}

}  // namespace

std::vector<fs::path> componentCandidates(const Guid& classId, std::string_view libraryFile,
                                          const fs::path& programFolder) {
    std::vector<fs::path> candidates;
    if (auto registered = registeredLibrary(classId)) candidates.push_back(*registered);
    candidates.push_back(programFolder / libraryFile);
    candidates.push_back((programFolder / VARKEL_COMPONENT_FOLDER / libraryFile).lexically_normal());
    return candidates;
}

fs::path findComponent(const Guid& classId, std::string_view libraryFile, const fs::path& programFolder) {
    const std::vector<fs::path> candidates = componentCandidates(classId, libraryFile, programFolder);
    for (const fs::path& library : candidates) {
        std::error_code ec;
        if (fs::is_regular_file(library, ec)) return library;
    }
    std::string tried;
    for (const fs::path& library : candidates) tried += (tried.empty() ? "" : ", ") + library.string();
    throw std::runtime_error("cannot find the component library " + std::string(libraryFile) + " (looked for " + tried +
                             ")");
}

void* createComponent(const Guid& classId, const Guid& interfaceId, std::string_view libraryFile) {
    const fs::path library = findComponent(classId, libraryFile, programFolder());
    const GetClassObject getClassObject = entryPointOf(library);
    void* factoryPointer = nullptr;
    int32_t hr = getClassObject(&classId, &kClassFactoryId, &factoryPointer);
    if (hr != kOk || factoryPointer == nullptr) throw std::runtime_error("class not available: " + toString(classId));
    auto* factory = static_cast<IClassFactory*>(factoryPointer);
    void* object = nullptr;
    hr = factory->CreateInstance(interfaceId, &object);
    factory->Release();
    if (hr != kOk || object == nullptr) throw std::runtime_error("cannot create object of " + toString(classId));
    return object;
}

}  // namespace varkel::platform
