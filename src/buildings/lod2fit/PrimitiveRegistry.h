// The process-wide list of roof primitives, one instance of each, and lookup by type name.
#pragma once
#include <string_view>
#include <vector>

#include "buildings/lod2fit/RoofPrimitive.h"

namespace lod2fit {

// The 25 primitives in registry order, filled on first use.
const std::vector<const RoofPrimitive*>& primitiveRegistry();
// The first primitive whose name equals `name` byte for byte, else a Flat kept apart from the list.
const RoofPrimitive& findPrimitive(std::string_view name);

}  // namespace lod2fit
