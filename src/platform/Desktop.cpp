#include "platform/Desktop.h"

#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace platform {

void openUrlExternally(const std::string& url) {
    // The URL goes as one argument to the opener: no shell ever sees it.
    pid_t pid = 0;
    std::string prog = "xdg-open";
    char* argv[] = {prog.data(), const_cast<char*>(url.c_str()), nullptr};
    if (posix_spawnp(&pid, "xdg-open", nullptr, nullptr, argv, environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
    }
}

}  // namespace platform
