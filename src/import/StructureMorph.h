// Morphs of the structure solids (roofs from the cloud, surface-model buildings, reconstructed buildings,
// bridges, roads): a body built face by face with one surface material, retried with simpler bodies.
#pragma once
#include <cstdint>
#include <vector>

#include "host/Host.h"

namespace importer {

// Faces in project coordinates, heights already reduced by the offset; a closing point repeating the first is
// dropped.
using MorphFaces = std::vector<std::vector<host::HostPoint3>>;

// Planar convex faces become one polygon (all faces are triangulated with `triangulateAll`); others are
// ear-clipped, or fanned when clipping finds no ear. With `weld` vertices equal to the millimetre and their edges
// are shared. Every polygon carries `material`. 0 or the host's error; an empty face list is an error.
host::HostError makeStructureMorph(const MorphFaces& faces, std::int32_t layer, bool triangulateAll, bool weld,
                                   std::int32_t material);
// Tries (triangulate-all off, weld on), then (on, on), then (on, off); the last result.
host::HostError makeStructureMorphWithRetries(const MorphFaces& faces, std::int32_t layer, std::int32_t material);

}  // namespace importer
