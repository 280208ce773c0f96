#include "platform/Workers.h"

#include <atomic>
#include <thread>

#include "platform/MessageLoop.h"

namespace platform {

namespace {
std::atomic<int> g_active{0};
}

void startWorker(std::function<void()> work) {
    g_active.fetch_add(1);
    try {
        std::thread([w = std::move(work)]() mutable {
            try {
                w();
            } catch (...) {
                // A worker reports through posted closures; nothing may escape a detached thread.
            }
            g_active.fetch_sub(1);
        }).detach();
    } catch (...) {
        g_active.fetch_sub(1);
        throw;
    }
}

int activeWorkers() { return g_active.load(); }

bool settleWorkers(std::chrono::milliseconds timeout) {
    auto& loop = MessageLoop::main();
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        loop.pump();
        // The counter drops only after the worker's last post, so an empty queue seen after
        // a zero count holds every message the workers produced.
        if (g_active.load() == 0 && loop.pending() == 0) return true;
        if (std::chrono::steady_clock::now() >= deadline) return false;
        loop.runOne(std::chrono::milliseconds(10));
    }
}

}  // namespace platform
