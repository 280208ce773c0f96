#include "platform/Desktop.h"

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
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) == 0) {
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
