#include "settings/NumberText.h"

#include <algorithm>
#include <cmath>

#include "platform/Numbers.h"

namespace settings {

std::string formatNumber(double value) {
    std::string text =
        std::fabs(value) < 1000000.0 ? platform::cformat("%.2f", value) : platform::cformat("%.4g", value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

bool allowedContourInterval(double value) {
    for (double allowed : {0.25, 0.5, 1.0, 2.0}) {
        if (std::fabs(value - allowed) <= 1e-6) return true;
    }
    return false;
}

}  // namespace settings
