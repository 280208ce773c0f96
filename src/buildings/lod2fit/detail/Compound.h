// The layouts of the compound shapes over the footprint's bounding box: two parts, the second appended.
#pragma once
#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit::detail {

enum class Layout {
    Cross,     // full-length bar across the middle half, then a bar along y over the middle half
    Corner,    // lower half, then left half along y
    TElement,  // upper half, then a bar along y 0.44 of the width wide
};

RoofMesh buildCompound(Layout layout, const RoofParams& p, const Footprint& f, const RoofPrimitive& first,
                       const RoofPrimitive& second);

}  // namespace lod2fit::detail
