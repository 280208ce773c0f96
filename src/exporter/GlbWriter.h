// Binary glTF 2.0 of a model's 3D elements (meshes, slabs, morphs): one node per element, named by its layer and
// element id, in project metres turned Y-up (x east, y up, z south).
#pragma once
#include <cstddef>
#include <string>

#include "exporter/ModelSnapshot.h"

namespace exporter {

// The .glb bytes; `nodes` gets the number of elements written.
std::string writeGlb(const ModelSnapshot& model, std::size_t& nodes);

}  // namespace exporter
