// Planar helpers of the generated worlds: rings, polylines and their offsets, overlap tests.
#pragma once
#include <vector>

#include "geodesy/PlanarPoint.h"

namespace sim::detail {

using Point = geodesy::PlanarPoint;
using Ring = std::vector<Point>;  // not closed: the last point does not repeat the first

// Twice the signed area (positive when counter-clockwise).
double signedArea2(const Ring& ring);
double area(const Ring& ring);
// The ring counter-clockwise (clockwise when `clockwise`).
Ring oriented(Ring ring, bool clockwise = false);
// Even-odd containment.
bool contains(const Ring& ring, Point p);
double distanceToSegment(Point p, Point a, Point b);
double distanceToRing(const Ring& ring, Point p);
double distanceToPolyline(const std::vector<Point>& line, Point p);
// Whether two rings share area (touching edges and shared corners do not count).
bool overlaps(const Ring& a, const Ring& b);
// Whether a ring comes closer than `clearance` to a polyline (or crosses it).
bool nearPolyline(const Ring& ring, const std::vector<Point>& line, double clearance);

// A polyline resampled every `step` metres along a Catmull-Rom curve through the control points.
std::vector<Point> smoothCurve(const std::vector<Point>& control, double step);
// Cumulative arc length at each vertex.
std::vector<double> arcLengths(const std::vector<Point>& line);
// Position and unit direction at arc length s (clamped to the line).
Point pointAt(const std::vector<Point>& line, const std::vector<double>& lengths, double s, Point* direction = nullptr);
// The part of a polyline between two arc lengths, moved sideways by `offset` (positive to the left).
std::vector<Point> offsetPart(const std::vector<Point>& line, const std::vector<double>& lengths, double s0, double s1,
                              double offset);

}  // namespace sim::detail
