// Shared construction of the primitives: prisms over a footprint, boxes and the building's rotated frame.
#pragma once
#include <cstdint>
#include <vector>

#include "buildings/lod2fit/RoofPrimitive.h"
#include "buildings/lod2fit/detail/LocalFrame.h"
#include "geodesy/Bbox.h"

namespace lod2fit::detail {

// Base ring at `base`, top ring at the given heights, base face and one wall quad per edge; `top` receives the
// top ring's indices for the caller's roof. Empty with fewer than 3 vertices or a wrong number of heights.
RoofMesh buildPrism(const Footprint& footprint, double base, const std::vector<double>& tops,
                    std::vector<std::int32_t>& top);
// The prism with every top at one height.
RoofMesh buildPrism(const Footprint& footprint, double base, double topZ, std::vector<std::int32_t>& top);

// Corners (x0, y0), (x1, y0), (x1, y1), (x0, y1); `fromSecond` lists them from the second corner, which turns a
// Gabled ridge from x to y.
Footprint rectangle(double x0, double x1, double y0, double y1, bool fromSecond = false);
geodesy::Bbox boundsOf(const Footprint& footprint);

// The midline of a four-cornered footprint from the middle of edge 3-0 to the middle of edge 1-2, along which
// hipped ridges run: its ends, length and unit direction (zero for a degenerate footprint).
struct Midline {
    double m1x, m1y, m2x, m2y, length, ux, uy;
};
Midline midlineOf(const Footprint& footprint);

}  // namespace lod2fit::detail
