// The share the harness (share-harness.sh) set up: its server folder and the two simulated
// machines that mount it. Tests on it skip themselves when they run without the harness.
#pragma once

#include "Process.h"
#include "TestSupport.h"
#include "WinPath.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace varkel::test {

// One machine: its mount of the share (N: in its drive map), configuration and working folder.
struct ShareMachine {
    std::string name;
    std::filesystem::path mount;
    std::filesystem::path config;
    std::filesystem::path work;
    std::string account;
    std::filesystem::path run;  // starts a program as this machine
    int32_t client = 0;         // its file-system client process

    // The Windows-style path of a name in the share through this machine's mount, usable in
    // this test process (C: is the host root).
    std::string onShare(const std::string& name) const { return platform::windowsPath(mount / name); }
    // The share as a network path of this test process, ending in "\".
    std::string network() const { return platform::windowsPath(mount) + "\\"; }
    // Starts a program as this machine (its host name and drive map): a host path to the
    // program, then its arguments.
    int32_t start(const std::string& commandLine) const {
        return platform::startProcess(platform::windowsPath(run) + " " + commandLine);
    }
};

inline std::string shareVariable(const std::string& name) {
    const char* value = std::getenv(("VARKEL_SHARE_" + name).c_str());
    return value == nullptr ? std::string() : std::string(value);
}

// A test on the share: the server folder is emptied before each test.
class ShareTest : public ::testing::Test {
protected:
    void SetUp() override {
        server_ = shareVariable("SERVER");
        if (server_.empty()) GTEST_SKIP() << "no share: run through share-harness.sh";
        for (const std::string m : {"A", "B"})
            machines_.push_back({m, shareVariable(m + "_MOUNT"), shareVariable(m + "_CONFIG"),
                                 shareVariable(m + "_WORK"), shareVariable(m + "_USER"), shareVariable(m + "_RUN"),
                                 std::atoi(shareVariable(m + "_CLIENT").c_str())});
        for (const auto& entry : std::filesystem::directory_iterator(server_)) std::filesystem::remove_all(entry);
    }
    const std::filesystem::path& server() const { return server_; }
    const ShareMachine& machine(size_t i) const { return machines_.at(i); }
    const std::vector<ShareMachine>& machines() const { return machines_; }
    // Whether the mounts keep sshfs's default caches.
    bool cached() const { return shareVariable("CACHE") == "cached"; }
    // With its own cache on (its default), sshfs answers even a forced look at a file's size
    // from what it cached, for up to 20 seconds after another machine changed the file: the
    // programs cannot see the change, so a list shared through such a mount cannot be kept
    // safe. Tests that need fresh contents run on the other mounts (VARKEL_SHARE_STALE=1 runs
    // them on cached ones too, to show it).
    bool staleContents() const { return cached() && shareVariable("STALE") != "1"; }
#define VARKEL_NEEDS_FRESH_CONTENTS()                                                               \
    if (staleContents())                                                                            \
    GTEST_SKIP() << "this client's caches serve stale file contents; the lists need its mount options " \
                    "dir_cache=no,attr_timeout=0,entry_timeout=0,negative_timeout=0"

    // Waits until the processes have ended; false (and the rest killed) when one still runs
    // after `limit`.
    static bool waitFor(const std::vector<int32_t>& pids, std::chrono::seconds limit = std::chrono::seconds(240)) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        bool ended = true;
        for (int32_t pid : pids) {
            while (ended && platform::processRunning(pid) && std::chrono::steady_clock::now() < deadline)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (platform::processRunning(pid)) {
                ended = false;
                ::kill(pid, SIGKILL);
                while (platform::processRunning(pid)) std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        }
        return ended;
    }

private:
    std::filesystem::path server_;
    std::vector<ShareMachine> machines_;
};

}  // namespace varkel::test
