// The server's workers: one thread a connection, started when none is free, up to a bound. A client that keeps a
// connection open without sending anything holds only its own thread (until the server's idle and read timeouts
// close it), never one the pages need.
#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <httplib.h>

namespace browser::detail {

class ElasticPool : public httplib::TaskQueue {
public:
    explicit ElasticPool(std::size_t maxThreads) : maxThreads_(maxThreads) {}
    ~ElasticPool() override { shutdown(); }
    ElasticPool(const ElasticPool&) = delete;
    ElasticPool& operator=(const ElasticPool&) = delete;

    void enqueue(std::function<void()> fn) override;
    void shutdown() override;

private:
    void work();

    std::size_t maxThreads_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> threads_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

}  // namespace browser::detail
