// Helpers shared by the tests: a scratch working folder and whole-file reads and writes.
#pragma once

#include "VbError.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace varkel::test {

inline std::string readBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The legacy error number a call fails with, 0 when it succeeds.
inline int errorOf(auto&& call) {
    try {
        call();
        return 0;
    } catch (const platform::VbError& e) {
        return e.number();
    }
}

inline std::string randomBytes(size_t size, uint32_t seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (auto& b : bytes) b = static_cast<char>(rng() & 0xFF);
    return bytes;
}

// A fresh folder that is the current folder for the test, with its own configuration folder
// (drive map, component registry) so that nothing outside reaches the test.
class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "varkel-test-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
        work_ = root_ / "work";
        std::filesystem::create_directories(work_);
        std::filesystem::create_directories(root_ / "config");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(work_);
        ::setenv("XDG_CONFIG_HOME", (root_ / "config").c_str(), 1);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    // Maps drive letters for this test, e.g. mapDrives("N: /tmp/x\n").
    void mapDrives(const std::string& lines) {
        std::filesystem::create_directories(root_ / "config" / "varkel");
        writeBytes(root_ / "config" / "varkel" / "drives", lines);
    }
    // A folder "share" (with `inside` created in it) mapped as drive N:; returns the folder.
    std::filesystem::path mapNetworkDrive(const std::string& inside = {}) {
        const std::filesystem::path share = root_ / "share";
        std::filesystem::create_directories(share / inside);
        mapDrives("N: " + share.string() + "\n");
        return share;
    }
    const std::filesystem::path& root() const { return root_; }
    const std::filesystem::path& work() const { return work_; }

private:
    std::filesystem::path root_;
    std::filesystem::path work_;
    std::filesystem::path previous_;
};

}  // namespace varkel::test
