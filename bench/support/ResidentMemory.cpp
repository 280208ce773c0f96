#include "support/ResidentMemory.h"

#include <cstddef>
#include <fstream>

#include "platform/Numbers.h"

namespace benchsupport {

double residentMb(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) != 0) continue;
        const std::size_t from = line.find_first_not_of(" \t", field.size());
        const std::size_t to = line.find(' ', from);
        long long kb = 0;
        if (from != std::string::npos && platform::parseInt(line.substr(from, to - from), kb))
            return static_cast<double>(kb) / 1024;
    }
    return 0.0;
}

void resetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

}  // namespace benchsupport
