// A few threads that run tasks handed to them, in the order given. With no threads, a task runs
// at once on the thread that hands it over, which keeps the order of everything it does fixed.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace varkel::admin {

class WorkerPool {
public:
    explicit WorkerPool(size_t threads);
    // Waits for the tasks handed over, then ends the threads.
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Runs `task` on a worker; its result or exception comes through the future.
    template <typename Task>
    auto submit(Task task) -> std::future<decltype(task())> {
        auto packaged = std::make_shared<std::packaged_task<decltype(task())()>>(std::move(task));
        auto result = packaged->get_future();
        if (threads_.empty()) {
            (*packaged)();
            return result;
        }
        {
            const std::lock_guard lock(mutex_);
            queue_.emplace_back([packaged] { (*packaged)(); });
        }
        wake_.notify_one();
        return result;
    }

private:
    void work();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace varkel::admin
