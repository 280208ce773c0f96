#include "platform/Interrupts.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <thread>

#include "platform/Paths.h"

namespace platform {

namespace {

std::mutex handlerMutex;
std::function<void(int)> interruptHandler;
bool handled = false;

sigset_t watchedSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void exitForSignal(int signal) {
    std::fflush(stdout);
    std::fflush(stderr);
    removePendingTemporaryFiles();
    ::_exit(128 + signal);
}

void watchInterrupts() {
    static std::once_flag once;
    std::call_once(once, [] {
        const sigset_t set = watchedSignals();
        if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return;
        std::thread([set]() {
            for (;;) {
                int signal = 0;
                if (::sigwait(&set, &signal) != 0) continue;
                std::function<void(int)> handler;
                {
                    std::lock_guard lock(handlerMutex);
                    if (!handled) handler = interruptHandler;
                    handled = true;
                }
                // No handler, or the user insists: stop now, leaving no temporary file behind.
                if (!handler) exitForSignal(signal);
                handler(signal);
            }
        }).detach();
    });
}

void setInterruptHandler(std::function<void(int)> handler) {
    std::lock_guard lock(handlerMutex);
    interruptHandler = std::move(handler);
}

}  // namespace platform
