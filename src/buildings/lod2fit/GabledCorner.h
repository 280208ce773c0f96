// The "GabledCorner" building shape.
#pragma once
#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit {

class GabledCorner final : public RoofPrimitive {
public:
    const char* name() const override { return "GabledCorner"; }
    RoofMesh build(const RoofParams& params, const Footprint& footprint) const override;
};

}  // namespace lod2fit
