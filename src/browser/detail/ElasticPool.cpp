#include "browser/detail/ElasticPool.h"

namespace browser::detail {

void ElasticPool::enqueue(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(mutex_);
    jobs_.push_back(std::move(fn));
    // Beyond the bound a connection waits for a thread that a timeout frees.
    if (idle_ < jobs_.size() && threads_.size() < maxThreads_) threads_.emplace_back([this] { work(); });
    wake_.notify_one();
}

void ElasticPool::shutdown() {
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
        threads.swap(threads_);
    }
    wake_.notify_all();
    for (std::thread& t : threads) t.join();
}

void ElasticPool::work() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            ++idle_;
            wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            --idle_;
            if (jobs_.empty()) return;  // stopping, and every connection served
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        job();
    }
}

}  // namespace browser::detail
