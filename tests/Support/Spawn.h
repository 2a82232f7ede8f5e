// Starting a program of the tests as a separate process that the test then kills or waits for.
#pragma once

#include <fcntl.h>
#include <spawn.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace varkel::test {

// Starts `words` (the program's path first) in the current folder with the test's environment,
// its standard error appended to `errors`; returns its process id.
inline pid_t spawn(const std::vector<std::string>& words, const std::filesystem::path& errors) {
    std::vector<std::string> copies = words;
    std::vector<char*> argv;
    for (auto& w : copies) argv.push_back(w.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    pid_t pid = 0;
    const int err = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (err != 0) throw std::runtime_error("cannot start " + words[0]);
    return pid;
}

}  // namespace varkel::test
