#include "exporter/ExportGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "exporter/ElementMesh.h"

namespace exporter {

namespace {

double cross(const host::HostPoint2& o, const host::HostPoint2& a, const host::HostPoint2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool segmentsCross(const host::HostPoint2& a, const host::HostPoint2& b, const host::HostPoint2& c,
                   const host::HostPoint2& d) {
    if (a == c || a == d || b == c || b == d) return false;  // touching at a shared corner is allowed
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

bool insideTriangle(const host::HostPoint2& p, const host::HostPoint2& a, const host::HostPoint2& b,
                    const host::HostPoint2& c) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// Joins each hole to the outline by a two-way cut so that one ring remains.
void bridgeHoles(std::vector<std::size_t>& polygon, std::vector<std::vector<std::size_t>> holes,
                 const std::vector<host::HostPoint2>& pts) {
    auto maxX = [&](const std::vector<std::size_t>& ring) {
        return std::max_element(ring.begin(), ring.end(),
                                [&](std::size_t a, std::size_t b) { return pts[a].x < pts[b].x; });
    };
    std::sort(holes.begin(), holes.end(),
              [&](const auto& a, const auto& b) { return pts[*maxX(a)].x > pts[*maxX(b)].x; });
    for (std::size_t hIndex = 0; hIndex < holes.size(); ++hIndex) {
        auto& hole = holes[hIndex];
        const auto start = static_cast<std::size_t>(maxX(hole) - hole.begin());
        const host::HostPoint2& hp = pts[hole[start]];
        auto blocked = [&](const host::HostPoint2& target) {
            auto crossesRing = [&](const std::vector<std::size_t>& ring) {
                for (std::size_t i = 0, n = ring.size(); i < n; ++i)
                    if (segmentsCross(hp, target, pts[ring[i]], pts[ring[(i + 1) % n]])) return true;
                return false;
            };
            // A bridge through another corner would touch the ring there and cut the polygon apart.
            auto throughCorner = [&](const std::vector<std::size_t>& ring) {
                for (std::size_t k : ring) {
                    const host::HostPoint2& v = pts[k];
                    if (v == hp || v == target || cross(hp, target, v) != 0.0) continue;
                    if (std::min(hp.x, target.x) <= v.x && v.x <= std::max(hp.x, target.x) &&
                        std::min(hp.y, target.y) <= v.y && v.y <= std::max(hp.y, target.y))
                        return true;
                }
                return false;
            };
            if (crossesRing(polygon) || throughCorner(polygon)) return true;
            for (std::size_t k = hIndex; k < holes.size(); ++k)
                if (crossesRing(holes[k]) || throughCorner(holes[k])) return true;
            return false;
        };
        std::size_t best = polygon.size();
        double bestDistance = std::numeric_limits<double>::infinity();
        std::size_t nearest = 0;
        double nearestDistance = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const host::HostPoint2& v = pts[polygon[i]];
            const double d = std::hypot(v.x - hp.x, v.y - hp.y);
            if (d < nearestDistance) nearestDistance = d, nearest = i;
            if (d < bestDistance && !blocked(v)) bestDistance = d, best = i;
        }
        if (best == polygon.size()) best = nearest;
        std::vector<std::size_t> joined(polygon.begin(), polygon.begin() + static_cast<std::ptrdiff_t>(best) + 1);
        for (std::size_t k = 0; k <= hole.size(); ++k) joined.push_back(hole[(start + k) % hole.size()]);
        joined.insert(joined.end(), polygon.begin() + static_cast<std::ptrdiff_t>(best), polygon.end());
        polygon = std::move(joined);
    }
}

// The largest cosine of the triangle's angles: the smaller, the rounder the triangle.
double worstCosine(const host::HostPoint2& a, const host::HostPoint2& b, const host::HostPoint2& c) {
    auto cosAt = [](const host::HostPoint2& o, const host::HostPoint2& p, const host::HostPoint2& q) {
        const double ux = p.x - o.x, uy = p.y - o.y, vx = q.x - o.x, vy = q.y - o.y;
        const double len = std::sqrt((ux * ux + uy * uy) * (vx * vx + vy * vy));
        return len > 0 ? (ux * vx + uy * vy) / len : 1.0;
    };
    return std::max({cosAt(a, b, c), cosAt(b, c, a), cosAt(c, a, b)});
}

// Ear clipping of an anticlockwise polygon (indices into pts; bridged holes repeat points). Of the ears, the
// roundest is cut first, so corners that are nearly straight become corners of good triangles instead of
// slivers whose long side two neighbouring faces would both take. Only strictly convex corners are cut, so
// straight corners stay corners of some triangle and a neighbouring face's edges still meet them; a polygon
// reduced to a line ends in a triangle without area rather than losing its points.
std::vector<std::size_t> earClip(const std::vector<std::size_t>& polygon, const std::vector<host::HostPoint2>& pts,
                                 const DiagonalTaken& taken = nullptr) {
    std::vector<std::size_t> triangles;
    const std::size_t n = polygon.size();
    if (n < 3) return triangles;
    triangles.reserve(3 * (n - 2));
    std::vector<std::size_t> prev(n), next(n);
    for (std::size_t i = 0; i < n; ++i) prev[i] = (i + n - 1) % n, next[i] = (i + 1) % n;
    auto at = [&](std::size_t i) -> const host::HostPoint2& { return pts[polygon[i]]; };
    auto turn = [&](std::size_t i) { return cross(at(prev[i]), at(i), at(next[i])); };
    auto spike = [&](std::size_t i) { return polygon[prev[i]] == polygon[next[i]]; };
    auto isEar = [&](std::size_t i) {
        if (turn(i) <= 0) return false;
        const host::HostPoint2 &a = at(prev[i]), &b = at(i), &c = at(next[i]);
        // Every other corner, convex ones too: a bridge to a hole can turn left and still lie inside.
        for (std::size_t k = next[next[i]]; k != prev[i]; k = next[k]) {
            const host::HostPoint2& p = at(k);
            if (p == a || p == b || p == c) continue;
            if (insideTriangle(p, a, b, c)) return false;
        }
        return true;
    };
    // Each corner's ear quality (the worst cosine), or more than 1 when it is no ear; kept for the corners whose
    // neighbours changed, all of them again when no ear seems left.
    std::vector<double> quality(n);
    // An ear whose cut would add a side another face of the body already has comes after every other ear.
    auto rate = [&](std::size_t i) {
        quality[i] = spike(i)    ? -2.0
                     : !isEar(i) ? 2.0
                                 : worstCosine(at(prev[i]), at(i), at(next[i])) +
                                       (taken && taken(polygon[prev[i]], polygon[next[i]]) ? 1.5 : 0.0);
    };
    std::size_t remaining = n, start = 0;
    for (std::size_t i = 0; i < n; ++i) rate(i);
    bool fresh = true;
    while (remaining > 3) {
        std::size_t best = start;
        for (std::size_t k = next[start]; k != start; k = next[k])
            if (quality[k] < quality[best]) best = k;
        if (quality[best] > 1.0) {
            if (!fresh) {
                for (std::size_t k = next[start], first = start;; k = next[k]) {
                    rate(k);
                    if (k == first) break;
                }
                fresh = true;
                continue;
            }
            // No ear at all: straight or self-touching input. Cut the corner turning most to the left (a straight
            // one gives a triangle without area) rather than loop.
            for (std::size_t k = next[start]; k != start; k = next[k])
                if (turn(k) > turn(best)) best = k;
        }
        // A spike (there and back along a bridge) closes without a triangle.
        if (!spike(best)) triangles.insert(triangles.end(), {polygon[prev[best]], polygon[best], polygon[next[best]]});
        const std::size_t before = prev[best], after = next[best];
        next[before] = after;
        prev[after] = before;
        --remaining;
        start = before;
        rate(before);
        rate(after);
        fresh = false;
    }
    const std::size_t i = start;
    if (polygon[prev[i]] != polygon[i] && polygon[i] != polygon[next[i]] && polygon[prev[i]] != polygon[next[i]])
        triangles.insert(triangles.end(), {polygon[prev[i]], polygon[i], polygon[next[i]]});
    return triangles;
}

}  // namespace

double signedArea(const std::vector<host::HostPoint2>& ring) {
    double s = 0.0;
    for (std::size_t i = 0, n = ring.size(); i < n; ++i) {
        const auto& p = ring[i];
        const auto& q = ring[(i + 1) % n];
        s += p.x * q.y - q.x * p.y;
    }
    return s / 2.0;
}

std::vector<host::HostPoint2> openRing(std::vector<host::HostPoint2> ring) {
    while (ring.size() >= 2 && ring.front() == ring.back()) ring.pop_back();
    return ring;
}

double segmentArcAngle(const host::PolylineElement& polyline, std::size_t i) {
    for (const auto& arc : polyline.arcs) {
        if (arc.begin == static_cast<std::int32_t>(i) && arc.end == static_cast<std::int32_t>(i + 1)) return arc.angle;
        if (arc.end == static_cast<std::int32_t>(i) && arc.begin == static_cast<std::int32_t>(i + 1)) return -arc.angle;
    }
    return 0.0;
}

std::vector<host::HostPoint2> tessellatePolyline(const host::PolylineElement& polyline) {
    const auto& pts = polyline.points;
    std::vector<host::HostPoint2> out;
    if (pts.empty()) return out;
    out.push_back(pts.front());
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const host::HostPoint2 p = pts[i], q = pts[i + 1];
        const double angle = segmentArcAngle(polyline, i);
        const double chord = std::hypot(q.x - p.x, q.y - p.y);
        if (std::abs(angle) > 1e-9 && chord > 0.0 && std::abs(angle) < 2.0 * std::numbers::pi) {
            // Positive angles turn anticlockwise from p to q, so the centre lies left of the chord.
            const double d = (chord / 2.0) / std::tan(angle / 2.0);
            const double cx = (p.x + q.x) / 2.0 - (q.y - p.y) / chord * d;
            const double cy = (p.y + q.y) / 2.0 + (q.x - p.x) / chord * d;
            const double radius = std::hypot(p.x - cx, p.y - cy);
            const double start = std::atan2(p.y - cy, p.x - cx);
            const int steps = std::max(2, static_cast<int>(std::ceil(std::abs(angle) / (std::numbers::pi / 36.0))));
            for (int k = 1; k < steps; ++k) {
                const double t = start + angle * k / steps;
                out.push_back({cx + radius * std::cos(t), cy + radius * std::sin(t)});
            }
        }
        out.push_back(q);
    }
    return out;
}

std::vector<std::size_t> triangulateRings(const std::vector<std::vector<host::HostPoint2>>& rings,
                                          std::vector<host::HostPoint2>& points) {
    points.clear();
    std::vector<std::size_t> outer;
    std::vector<std::vector<std::size_t>> holes;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const auto ring = openRing(rings[r]);
        if (ring.size() < 3) {
            if (r == 0) return {};
            continue;
        }
        std::vector<std::size_t> indices;
        for (const auto& p : ring) {
            indices.push_back(points.size());
            points.push_back(p);
        }
        // Outline anticlockwise, holes clockwise, so that bridging keeps one consistent ring.
        const bool ccw = signedArea(ring) > 0;
        if (ccw != (r == 0)) std::reverse(indices.begin(), indices.end());
        if (r == 0) outer = std::move(indices);
        else holes.push_back(std::move(indices));
    }
    bridgeHoles(outer, std::move(holes), points);
    return earClip(outer, points);
}

std::vector<std::size_t> triangulateRing(const std::vector<host::HostPoint2>& ring, const DiagonalTaken& taken) {
    std::vector<std::size_t> order(ring.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (signedArea(ring) < 0) std::reverse(order.begin(), order.end());
    return earClip(order, ring, taken);
}

std::vector<Face3> facesOf(const model::StoredElement& element) {
    std::vector<Face3> out;
    const ElementMesh mesh = meshOf(element);
    const std::int32_t layer = model::elementLayerOf(element.body);
    out.reserve(mesh.triangleCount());
    for (std::size_t i = 0; i + 2 < mesh.triangles.size(); i += 3)
        out.push_back({layer, mesh.points[mesh.triangles[i]], mesh.points[mesh.triangles[i + 1]],
                       mesh.points[mesh.triangles[i + 2]]});
    return out;
}

}  // namespace exporter
