// The mapping placement applies to every planar point before it reaches the host.
#pragma once
#include <functional>

#include "host/Host.h"

// Working-zone metres to project coordinates (the project transform of the georeference).
using PlanarMap = std::function<HostPoint2(double x, double y)>;

// The identity mapping.
inline HostPoint2 unmappedPoint(double x, double y) { return {x, y}; }
