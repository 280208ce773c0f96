#include "settings/NumberText.h"

#include <algorithm>
#include <cmath>

#include "platform/Numbers.h"

using platform::cformat;

std::string formatNumber(double value) {
    std::string text = std::fabs(value) < 1000000.0 ? cformat("%.2f", value) : cformat("%.4g", value);
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

bool allowedContourInterval(double value) {
    for (double allowed : {0.25, 0.5, 1.0, 2.0}) {
        if (std::fabs(value - allowed) <= 1e-6) return true;
    }
    return false;
}
