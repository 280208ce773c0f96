// The whole surface of a mesh element: its outline with its level points and level lines, as triangles.
#pragma once
#include <cstddef>
#include <vector>

#include "host/Host.h"

namespace exporter {

struct MeshSurface {
    std::vector<host::HostPoint3> points;  // project coordinates, heights with the mesh's level added
    std::vector<std::size_t> triangles;    // index triples into points, anticlockwise seen from above
};

// Triangles over the outline's corners and every level point and line vertex, keeping those inside the
// outline. Without level points the outline alone is triangulated, as a flat (or tilted) polygon.
MeshSurface meshSurface(const host::MeshElement& mesh);

}  // namespace exporter
