// Detached worker threads, counted so that a headless session can wait until all of them are done.
#pragma once
#include <chrono>
#include <functional>

namespace platform {

// Starts `work` on a new detached thread. Throws std::system_error when no thread can be started.
void startWorker(std::function<void()> work);
// Number of workers started by `startWorker` that have not finished yet.
int activeWorkers();
// Pumps the main loop until no worker is running and no posted closure is waiting,
// or until `timeout` passes; returns whether everything settled.
bool settleWorkers(std::chrono::milliseconds timeout);

}  // namespace platform
