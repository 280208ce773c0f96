// Outcome of reading an ESRI ASCII grid: success, or what failed and where.
#pragma once
#include <cstddef>
#include <string>

namespace grid {

struct AsciiGridStatus {
    bool ok = false;
    std::string message;         // Polish text for the user; empty on success
    std::size_t line = 0;        // 1-based line of the failure (0 when not tied to a place)
    std::size_t offset = 0;      // byte offset of the failure in the text
    std::size_t valuesRead = 0;  // grid values read before the failure

    explicit operator bool() const { return ok; }
};

}  // namespace grid
