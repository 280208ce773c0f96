// The application's main message loop: the main thread runs it, workers post closures to it.
#pragma once
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace platform {

class MessageLoop {
public:
    using Task = std::function<void()>;

    // The process's main loop (the one `runOnMainThread` posts to).
    static MessageLoop& main();

    // Queues a closure; callable from any thread.
    void post(Task task);
    // Runs every closure queued so far (and those they queue) without waiting; returns how many ran.
    std::size_t pump();
    // Waits up to `timeout` for one closure and runs it; returns whether one ran.
    bool runOne(std::chrono::milliseconds timeout);
    // Runs closures until `quit` is called.
    void run();
    // Makes `run` return after the closure it is running.
    void quit();
    // Number of closures waiting.
    std::size_t pending() const;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<Task> queue_;
    bool quit_ = false;
};

}  // namespace platform
