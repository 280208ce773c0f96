// Geometry of the morph maker: face classification, ear clipping, the fan fallback and edge flipping.
#pragma once
#include <array>
#include <vector>

namespace buildings::detail {

struct Point3 {
    double x = 0.0, y = 0.0, z = 0.0;
};
struct Point2 {
    double x = 0.0, y = 0.0;
};
using Triangle = std::array<int, 3>;  // indices into the face's points

enum class FaceKind { PlanarConvex, PlanarConcave, NonPlanar };

// Planar convex, planar concave or non-planar (0.05 m tolerance).
FaceKind classifyFace(const std::vector<Point3>& points);
// The Newell normal of a ring: its direction is the side the ring faces when walked anticlockwise.
Point3 newellNormal(const std::vector<Point3>& points);
// The face in 2D, dropping the axis of the largest component of its Newell normal.
std::vector<Point2> projectFace(const std::vector<Point3>& points);
// The outline and its holes in 2D, dropping the axis of the largest component of the outline's Newell normal.
std::vector<std::vector<Point2>> projectRings(const std::vector<std::vector<Point3>>& rings);
// Twice the signed area of a 2D ring.
double signedArea2(const std::vector<Point2>& points);
// Ear clipping that takes the fattest ear first; triangles anticlockwise in 2D, empty when it gets stuck.
std::vector<Triangle> earClip(const std::vector<Point2>& points);
// Triangles (0, i - 1, i) for i = 2 .. n - 1.
std::vector<Triangle> fan(int n);
// More than 4 triangles, and one vertex in at least 60 % of them (rounded down).
bool isQuasiFan(const std::vector<Triangle>& triangles);
// Flips interior edges whose opposite vertex lies in the other triangle's circumcircle (Delaunay-like);
// every triangle comes out anticlockwise in 2D.
void flipEdges(std::vector<Triangle>& triangles, const std::vector<Point2>& points);

}  // namespace buildings::detail
