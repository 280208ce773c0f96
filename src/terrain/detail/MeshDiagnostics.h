// Number texts of the terrain diagnostics lines.
#pragma once
#include <string>

namespace terrain::detail {

// Planar values written truncated to whole metres.
std::string diagnosticMetres(double v);
// Heights written as plain decimal numbers.
std::string diagnosticHeight(double v);

}  // namespace terrain::detail
