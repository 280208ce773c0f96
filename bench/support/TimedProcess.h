// One program run as a child and measured as a whole process, for comparisons with outside tools.
#pragma once
#include <string>
#include <vector>

namespace benchsupport {

struct TimedRun {
    double wallMs = 0.0;
    double cpuMs = 0.0;
    double peakMB = 0.0;
    bool ok = false;
};

// Runs a program with its arguments (no shell), its output discarded. The peak comes from GNU time: a child
// started from a large benchmark would otherwise report the benchmark's own size.
TimedRun runTimed(const std::vector<std::string>& args);

}  // namespace benchsupport
