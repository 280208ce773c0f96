// Short, locale-free decimal texts for the text formats (DXF, IFC): fixed notation rounded to a number of
// decimals, trailing zeros dropped.
#pragma once
#include <string>

namespace exporter::detail {

// Appends v rounded to `decimals` places ("12.5", "-3", "0.000001"); a value that is not finite is written as 0.
// With `point`, a whole number keeps its decimal point ("12."), as STEP's reals need.
void appendDecimal(std::string& out, double v, int decimals, bool point = false);

}  // namespace exporter::detail
