// Shared pieces of the fuzz targets: a private working folder, and the rule that a run may
// fail only with a legacy run-time error.
#pragma once

#include "VbError.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <unistd.h>

namespace varkel::fuzz {

// Makes a fresh folder the current folder, once per process, with a configuration folder of
// its own so that no user's drive map reaches the target.
inline void enterScratchFolder() {
    static const bool entered = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "varkel-fuzz-XXXXXX").string();
        const std::filesystem::path root = ::mkdtemp(pattern.data());
        std::filesystem::create_directories(root / "work");
        std::filesystem::create_directories(root / "config");
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        std::filesystem::current_path(root / "work");
        return true;
    }();
    (void)entered;
}

inline void writeFile(const std::string& name, std::string_view bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readFile(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs a step that may fail with a run-time error number; anything else escapes and is a
// finding.
template <typename Step>
void tolerateVbError(Step step) {
    try {
        step();
    } catch (const platform::VbError&) {
    }
}

// Takes the next piece of the input: a two-byte length, then that many bytes (or what is left).
inline std::string_view nextPiece(std::string_view& data) {
    if (data.size() < 2) {
        data = {};
        return {};
    }
    const size_t length = static_cast<uint8_t>(data[0]) | static_cast<size_t>(static_cast<uint8_t>(data[1])) << 8;
    data.remove_prefix(2);
    const std::string_view piece = data.substr(0, length);
    data.remove_prefix(piece.size());
    return piece;
}

[[noreturn]] inline void finding() { std::abort(); }

}  // namespace varkel::fuzz
