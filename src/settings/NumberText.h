// Numbers inside Polish user messages, and the contour intervals the add-on offers.
#pragma once
#include <string>

namespace settings {

// "%.2f" below 1,000,000 in absolute value, otherwise "%.4g", with a decimal comma; locale-independent.
std::string formatNumber(double value);
// True when the value is within 1e-6 of 0.25, 0.5, 1.0 or 2.0 metres.
bool allowedContourInterval(double value);

}  // namespace settings
