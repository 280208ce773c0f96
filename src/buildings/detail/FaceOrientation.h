// Which faces of a body to walk the other way, and which to leave out, so that the body is closed and faces
// outward wherever its rings allow: faces sharing an edge walk it in opposite directions, every connected shell
// encloses a positive volume, and a wall two parts of a building share (the same ring twice) is not kept.
#pragma once
#include <cstdint>
#include <vector>

#include "buildings/detail/FaceTriangulation.h"

namespace buildings::detail {

// One face: loops of welded vertex numbers (its outline first, then its holes) and the points of the vertices.
struct OrientedFace {
    std::vector<std::vector<std::int32_t>> loops;
};

struct FaceTurns {
    std::vector<bool> reversed;  // walk the face's loops backwards
    std::vector<bool> dropped;   // the face is one of a pair that cancels (or repeats another)
};

FaceTurns orientFaces(const std::vector<OrientedFace>& faces, const std::vector<Point3>& vertices);

}  // namespace buildings::detail
