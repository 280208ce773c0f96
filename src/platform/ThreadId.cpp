#include "platform/ThreadId.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

std::uint32_t currentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::uint64_t currentThreadHash() {
    const std::uint32_t id = currentThreadId();
    std::uint64_t hash = 14695981039346656037ull;
    for (int i = 0; i < 4; ++i) {
        hash ^= (id >> (8 * i)) & 0xFFu;
        hash *= 1099511628211ull;
    }
    return hash;
}

}  // namespace platform
