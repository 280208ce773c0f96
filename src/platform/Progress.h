// The one progress-callback type: long work reports (done, total) and goes on while it answers true.
#pragma once
#include <cstdint>
#include <functional>

namespace platform {

// done and total in the work's own unit (bytes, points, tiles, levels); total 0 when unknown.
// Answering false asks the work to stop; callers that cannot stop ignore the answer.
using ProgressCallback = std::function<bool(std::int64_t done, std::int64_t total)>;

}  // namespace platform
