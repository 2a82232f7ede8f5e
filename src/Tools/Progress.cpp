#include "Progress.h"

#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace varkel::tools {
namespace {

std::string humanSize(uint64_t bytes) {
    static const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    size_t unit = 0;
    while (value >= 1024 && unit + 1 < std::size(kUnits)) {
        value /= 1024;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", value, kUnits[unit]);
    return text;
}

size_t terminalWidth() {
    winsize size{};
    if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return 80;
}

void writeAll(const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

}  // namespace

Progress::Progress(size_t files, bool quiet) : files_(files), shown_(!quiet && ::isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    clear();
}

std::string Progress::line(size_t index, size_t files, const std::string& name, uint64_t bytes,
                           std::chrono::seconds elapsed, unsigned tick, size_t width) {
    std::string text = "vrk: ";
    if (files > 1) {
        constexpr size_t kBar = 20;
        const size_t done = (index - 1) * kBar / files;
        text += '[' + std::string(done, '#') + std::string(kBar - done, '-') + "] " + std::to_string(index) + '/' +
                std::to_string(files) + ' ';
    }
    char time[32];
    std::snprintf(time, sizeof time, "%lld:%02lld", static_cast<long long>(elapsed.count() / 60),
                  static_cast<long long>(elapsed.count() % 60));
    static const char kSpinner[] = {'|', '/', '-', '\\'};
    const std::string after = "  " + humanSize(bytes) + "  " + time + ' ' + kSpinner[tick % 4];
    std::string shownName = name;
    const size_t room = width > text.size() + after.size() + 1 ? width - 1 - text.size() - after.size() : 0;
    if (shownName.size() > room) shownName = room > 3 ? "..." + shownName.substr(shownName.size() - (room - 3)) : "";
    return text + shownName + after;
}

void Progress::begin(size_t index, const std::string& name, uint64_t bytes) {
    if (!shown_ || (files_ < 2 && bytes < kLargeFile)) return;
    {
        std::lock_guard lock(mutex_);
        index_ = index;
        name_ = name;
        bytes_ = bytes;
        start_ = std::chrono::steady_clock::now();
        active_ = true;
        draw();
    }
    if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void Progress::end() {
    std::lock_guard lock(mutex_);
    active_ = false;
    clear();
}

void Progress::run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
        wake_.wait_for(lock, std::chrono::milliseconds(250));
        if (active_ && !stop_) {
            ++tick_;
            draw();
        }
    }
}

void Progress::draw() {
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_);
    writeAll("\r\033[K" + line(index_, files_, name_, bytes_, elapsed, tick_, terminalWidth()));
    drawn_ = true;
}

void Progress::clear() {
    if (!drawn_) return;
    writeAll("\r\033[K");
    drawn_ = false;
}

}  // namespace varkel::tools
