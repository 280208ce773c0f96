// The mapping placement applies to every planar point before it reaches the host.
#pragma once
#include <functional>

#include "host/Host.h"

namespace terrain {

// Working-zone metres to project coordinates (the project transform of the georeference).
using PlanarMap = std::function<host::HostPoint2(double x, double y)>;

// The identity mapping.
inline host::HostPoint2 unmappedPoint(double x, double y) { return {x, y}; }

}  // namespace terrain
