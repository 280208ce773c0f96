// The "Mansard" building shape.
#pragma once
#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit {

class Mansard final : public RoofPrimitive {
public:
    const char* name() const override { return "Mansard"; }
    RoofMesh build(const RoofParams& params, const Footprint& footprint) const override;
};

}  // namespace lod2fit
