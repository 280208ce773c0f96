// This process's resident memory from /proc, for the benchmarks' memory counters.
#pragma once
#include <string>

namespace benchsupport {

// Resident memory in MB from the /proc/self/status field ("VmRSS:" now, "VmHWM:" the peak since resetPeak()).
double residentMb(const std::string& field);
// Starts a new peak: the kernel sets the high-water mark back to the current size.
void resetPeak();

}  // namespace benchsupport
