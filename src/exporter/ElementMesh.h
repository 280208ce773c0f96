// The 3D kinds as indexed triangles: one point list per element shared by its triangles, and every triangle
// wound as its face is (solids stay closed and facing outward where the project's body is).
#pragma once
#include <cstdint>
#include <vector>

#include "host/Host.h"
#include "model/ModelState.h"

namespace exporter {

struct ElementMesh {
    std::vector<host::HostPoint3> points;  // project coordinates, metres
    std::vector<std::uint32_t> triangles;  // index triples into points, anticlockwise seen from the front
    bool solid = false;                    // a body (slab, morph) rather than a surface (mesh)

    std::size_t triangleCount() const { return triangles.size() / 3; }
    // Every edge between two positions is walked exactly once in each direction (points at the same position
    // count as one): a closed shell with consistent winding.
    bool closedShell() const;
    // Volume enclosed by the triangles, positive when they face outward (meaningful for a closed shell).
    double signedVolume() const;
};

// The triangles of a mesh (its whole surface, facing up), a slab (outline and holes extruded, facing out) or a
// morph (each polygon triangulated in its own winding); empty for the 2D kinds.
ElementMesh meshOf(const model::StoredElement& element);

}  // namespace exporter
