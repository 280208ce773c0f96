#include "platform/Desktop.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <system_error>
#include <thread>

extern char** environ;

namespace platform {

void openUrlExternally(const std::string& url) {
    // The URL goes as one argument to the opener: no shell ever sees it.
    pid_t pid = 0;
    std::string prog = "xdg-open";
    char* argv[] = {prog.data(), const_cast<char*>(url.c_str()), nullptr};
    // The opener gets the default signal mask, not the one this process blocks its interrupts with.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK);
    const int spawned = posix_spawnp(&pid, "xdg-open", nullptr, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    if (spawned == 0) {
        // The opener may take its time (or never end): the caller's loop never waits for it; a thread of its
        // own reaps it so no zombie is left.
        try {
            std::thread([pid]() {
                int status = 0;
                waitpid(pid, &status, 0);
            }).detach();
        } catch (const std::system_error&) {
            // No thread to spare: the child is left for the process's end to reap.
        }
    }
}

}  // namespace platform
