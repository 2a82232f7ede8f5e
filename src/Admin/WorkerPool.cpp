#include "WorkerPool.h"

namespace varkel::admin {

WorkerPool::WorkerPool(size_t threads) {
    threads_.reserve(threads);
    for (size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& thread : threads_) thread.join();
}

void WorkerPool::work() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) return;  // stopping, and nothing left to do
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();  // a packaged task: what it throws goes to its future
    }
}

}  // namespace varkel::admin
