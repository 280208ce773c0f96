// Geometry the writers share: arcs as chords, rings as triangles, 3D kinds as faces.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "host/Host.h"
#include "model/ModelState.h"

namespace exporter {

// Shoelace area: positive for an anticlockwise ring.
double signedArea(const std::vector<host::HostPoint2>& ring);
// The ring without its repeated closing points.
std::vector<host::HostPoint2> openRing(std::vector<host::HostPoint2> ring);
// The points of a polyline with its arcs replaced by short chords (for formats without arcs).
std::vector<host::HostPoint2> tessellatePolyline(const host::PolylineElement& polyline);
// The arc angle of the segment from point i to i + 1 (negated when the arc is stored backwards), 0 if straight.
double segmentArcAngle(const host::PolylineElement& polyline, std::size_t i);
// Triangles (index triples into the points) covering a planar ring with holes; rings need not be closed.
std::vector<std::size_t> triangulateRings(const std::vector<std::vector<host::HostPoint2>>& rings,
                                          std::vector<host::HostPoint2>& points);
// Whether a side between two corners (ring indices) is already taken by another face of the same body.
using DiagonalTaken = std::function<bool(std::size_t, std::size_t)>;
// Triangles (index triples into the ring, anticlockwise) covering one ring taken as it is: no point dropped,
// repeated or straight corners included. Diagonals `taken` names are drawn only where no other will do, so two
// faces meeting along a bent path do not both cut the same chord.
std::vector<std::size_t> triangulateRing(const std::vector<host::HostPoint2>& ring,
                                         const DiagonalTaken& taken = nullptr);
// Triangles of the 3D kinds one by one, in project coordinates (metres), wound as their faces are.
struct Face3 {
    std::int32_t layer = 0;
    host::HostPoint3 a, b, c;
};
std::vector<Face3> facesOf(const model::StoredElement& element);

}  // namespace exporter
