// Delaunay triangulation of planar points (no constraints), for surfaces given as scattered heights.
#pragma once
#include <cstddef>
#include <vector>

#include "host/Host.h"

namespace exporter::detail {

// Triangles (index triples into `points`, anticlockwise) of the Delaunay triangulation of the points. Repeated
// points are used once; fewer than three distinct points, or all of them on one line, give none.
std::vector<std::size_t> delaunayTriangles(const std::vector<host::HostPoint2>& points);

}  // namespace exporter::detail
