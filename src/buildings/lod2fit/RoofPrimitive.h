// A parametric building shape: walls from groundZ up and a roof of its kind on top.
#pragma once
#include <vector>

#include "buildings/lod2fit/RoofMesh.h"
#include "buildings/lod2fit/RoofParams.h"
#include "geodesy/PlanarPoint.h"

namespace lod2fit {

using Footprint = std::vector<geodesy::PlanarPoint>;

class RoofPrimitive {
public:
    virtual ~RoofPrimitive() = default;
    // The type name: the class name, a static text.
    virtual const char* name() const = 0;
    // The solid over the footprint (closed ring, first vertex not repeated).
    virtual RoofMesh build(const RoofParams& params, const Footprint& footprint) const = 0;
};

}  // namespace lod2fit
