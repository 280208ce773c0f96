// Identifiers of the calling thread, for names that must differ between threads.
#pragma once
#include <cstdint>

namespace platform {

// The operating system's identifier of the calling thread.
std::uint32_t currentThreadId();
// 64-bit FNV-1a over currentThreadId()'s four bytes, lowest byte first.
std::uint64_t currentThreadHash();

}  // namespace platform
