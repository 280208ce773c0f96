#include "platform/MessageLoop.h"

namespace platform {

MessageLoop& MessageLoop::main() {
    static MessageLoop loop;
    return loop;
}

void MessageLoop::post(Task task) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    cv_.notify_all();
}

std::size_t MessageLoop::pump() {
    std::size_t ran = 0;
    for (;;) {
        Task task;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (queue_.empty()) return ran;
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
        ++ran;
    }
}

bool MessageLoop::runOne(std::chrono::milliseconds timeout) {
    Task task;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (!cv_.wait_for(lock, timeout, [this] { return !queue_.empty(); })) return false;
        task = std::move(queue_.front());
        queue_.pop_front();
    }
    task();
    return true;
}

void MessageLoop::run() {
    for (;;) {
        Task task;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            cv_.wait(lock, [this] { return quit_ || !queue_.empty(); });
            if (quit_) {
                quit_ = false;
                return;
            }
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
    }
}

void MessageLoop::quit() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    cv_.notify_all();
}

std::size_t MessageLoop::pending() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return queue_.size();
}

}  // namespace platform
