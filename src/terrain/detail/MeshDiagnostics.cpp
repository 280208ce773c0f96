#include "terrain/detail/MeshDiagnostics.h"

#include <cmath>

#include "platform/Numbers.h"

using platform::streamNumber;

namespace terrain::detail {

std::string diagnosticMetres(double v) {
    // An empty extent or a value no integer holds is written as the number itself.
    if (!std::isfinite(v) || std::fabs(v) >= 9e18) return streamNumber(v);
    return std::to_string(static_cast<long long>(std::trunc(v)));
}

std::string diagnosticHeight(double v) { return streamNumber(v); }

}  // namespace terrain::detail
