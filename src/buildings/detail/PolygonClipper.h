// Triangles of a polygon with holes in near n log n steps: ear clipping over the outline joined to its holes by
// bridges, with the ears' emptiness looked up in a grid, and a bound on the work for rings that cross themselves.
#pragma once
#include <vector>

#include "buildings/detail/FaceTriangulation.h"

namespace buildings::detail {

// Triangles of the polygon whose rings are given in 2D, the outline first and its holes after it (either
// winding); every triangle anticlockwise, its corners indices into the rings taken one after another. Empty when
// no triangulation was found within `workLimit` steps (or the outline has no area), so that the caller falls
// back, marked.
std::vector<Triangle> clipPolygon(const std::vector<std::vector<Point2>>& rings, long long workLimit);

// The work bound for a polygon of n vertices: generous for any real face, finite for a hostile one.
long long clipWorkLimit(std::size_t n);

}  // namespace buildings::detail
