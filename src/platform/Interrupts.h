// SIGINT and SIGTERM handled as events instead of killing the process mid-write.
#pragma once
#include <functional>

namespace platform {

// Blocks SIGINT and SIGTERM in the calling thread and in every thread it starts later, and watches them on a
// thread of its own. Call first thing in main, before any other thread exists.
void watchInterrupts();
// What a signal does. With a handler, the handler is called (on the watching thread) with the signal number;
// a second signal, or any signal without a handler, ends the process at once: temporary files of atomic
// writes in progress are removed first, and the exit code is 128 + the signal number.
void setInterruptHandler(std::function<void(int signal)> handler);
// Ends the process with the exit code of the signal, without unwinding: used after an interrupt was handled.
[[noreturn]] void exitForSignal(int signal);

}  // namespace platform
