// A progress line on standard error while files are worked on, drawn only on a terminal.
//
// The library works through a whole file in one call, so the line shows which file of how
// many is being worked on, its size and the time spent on it, not a share of the file.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace varkel::tools {

class Progress {
public:
    // Files smaller than this are not worth a line when there is only one.
    static constexpr uint64_t kLargeFile = uint64_t{8} << 20;

    // `quiet`: no line at all.
    Progress(size_t files, bool quiet);
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    ~Progress();

    // Work on file `index` (from 1) starts; `end` clears the line before anything else is
    // written.
    void begin(size_t index, const std::string& name, uint64_t bytes);
    void end();

    // The line for the current state, cut to `width` columns.
    static std::string line(size_t index, size_t files, const std::string& name, uint64_t bytes,
                            std::chrono::seconds elapsed, unsigned tick, size_t width);

private:
    void run();
    void draw();
    void clear();

    const size_t files_;
    const bool shown_;  // on a terminal and not quiet
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
    bool stop_ = false;
    bool active_ = false;
    bool drawn_ = false;
    size_t index_ = 0;
    std::string name_;
    uint64_t bytes_ = 0;
    unsigned tick_ = 0;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace varkel::tools
