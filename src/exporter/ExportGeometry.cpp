#include "exporter/ExportGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "exporter/MeshSurface.h"

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
            if (crossesRing(polygon)) return true;
            for (std::size_t k = hIndex; k < holes.size(); ++k)
                if (crossesRing(holes[k])) return true;
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

std::vector<std::size_t> earClip(std::vector<std::size_t> polygon, const std::vector<host::HostPoint2>& pts) {
    std::vector<std::size_t> triangles;
    std::size_t guard = 0;
    while (polygon.size() >= 3) {
        const std::size_t n = polygon.size();
        bool clipped = false;
        for (std::size_t i = 0; i < n && !clipped; ++i) {
            const std::size_t ia = polygon[(i + n - 1) % n], ib = polygon[i], ic = polygon[(i + 1) % n];
            const host::HostPoint2 &a = pts[ia], &b = pts[ib], &c = pts[ic];
            const double turn = cross(a, b, c);
            if (turn == 0.0) {  // a straight or doubled corner adds no area
                polygon.erase(polygon.begin() + static_cast<std::ptrdiff_t>(i));
                clipped = true;
                break;
            }
            if (turn < 0) continue;
            bool empty = true;
            for (std::size_t k = 0; k < n && empty; ++k) {
                const host::HostPoint2& p = pts[polygon[k]];
                if (p == a || p == b || p == c) continue;
                if (insideTriangle(p, a, b, c)) empty = false;
            }
            if (!empty) continue;
            triangles.insert(triangles.end(), {ia, ib, ic});
            polygon.erase(polygon.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
        }
        if (!clipped) {
            // Self-touching input: cut the first corner rather than loop forever.
            triangles.insert(triangles.end(), {polygon[n - 1], polygon[0], polygon[1]});
            polygon.erase(polygon.begin());
        }
        if (++guard > 1000000) break;
    }
    return triangles;
}

host::HostPoint3 transformed(const double t[12], const host::HostPoint3& p) {
    return {t[0] * p.x + t[1] * p.y + t[2] * p.z + t[3], t[4] * p.x + t[5] * p.y + t[6] * p.z + t[7],
            t[8] * p.x + t[9] * p.y + t[10] * p.z + t[11]};
}

void addPlanarFaces(std::int32_t layer, const std::vector<host::HostPoint3>& loop, std::vector<Face3>& out) {
    if (loop.size() < 3) return;
    // Newell normal: drop its largest component to flatten the polygon without folding it.
    double nx = 0, ny = 0, nz = 0;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const auto& p = loop[i];
        const auto& q = loop[(i + 1) % loop.size()];
        nx += (p.y - q.y) * (p.z + q.z);
        ny += (p.z - q.z) * (p.x + q.x);
        nz += (p.x - q.x) * (p.y + q.y);
    }
    std::vector<host::HostPoint2> flat;
    flat.reserve(loop.size());
    const double ax = std::abs(nx), ay = std::abs(ny), az = std::abs(nz);
    for (const auto& p : loop) {
        if (az >= ax && az >= ay) flat.push_back({p.x, p.y});
        else if (ax >= ay) flat.push_back({p.y, p.z});
        else flat.push_back({p.z, p.x});
    }
    std::vector<host::HostPoint2> pts;
    const auto tri = triangulateRings({flat}, pts);
    // triangulateRings keeps the ring's points in order, so the indices name loop points.
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        if (tri[i] >= loop.size() || tri[i + 1] >= loop.size() || tri[i + 2] >= loop.size()) continue;
        out.push_back({layer, loop[tri[i]], loop[tri[i + 1]], loop[tri[i + 2]]});
    }
}

void addPrismFaces(std::int32_t layer, const std::vector<std::vector<host::HostPoint2>>& contours, double bottom,
                   double top, std::vector<Face3>& out) {
    std::vector<host::HostPoint2> pts;
    const auto tri = triangulateRings(contours, pts);
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        const auto &a = pts[tri[i]], &b = pts[tri[i + 1]], &c = pts[tri[i + 2]];
        out.push_back({layer, {a.x, a.y, top}, {b.x, b.y, top}, {c.x, c.y, top}});
        out.push_back({layer, {a.x, a.y, bottom}, {c.x, c.y, bottom}, {b.x, b.y, bottom}});
    }
    if (top == bottom) return;
    for (const auto& contour : contours) {
        const auto ring = openRing(contour);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const auto& p = ring[i];
            const auto& q = ring[(i + 1) % ring.size()];
            out.push_back({layer, {p.x, p.y, bottom}, {q.x, q.y, bottom}, {q.x, q.y, top}});
            out.push_back({layer, {p.x, p.y, bottom}, {q.x, q.y, top}, {p.x, p.y, top}});
        }
    }
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
    return earClip(std::move(outer), points);
}

std::vector<Face3> facesOf(const model::StoredElement& element) {
    std::vector<Face3> out;
    if (const auto* mesh = std::get_if<host::MeshElement>(&element.body)) {
        const MeshSurface surface = meshSurface(*mesh);
        out.reserve(surface.triangles.size() / 3);
        for (std::size_t i = 0; i + 2 < surface.triangles.size(); i += 3)
            out.push_back({mesh->layer, surface.points[surface.triangles[i]], surface.points[surface.triangles[i + 1]],
                           surface.points[surface.triangles[i + 2]]});
    } else if (const auto* slab = std::get_if<host::SlabElement>(&element.body)) {
        addPrismFaces(slab->layer, slab->contours, slab->level, slab->level + slab->thickness, out);
    } else if (const auto* morph = std::get_if<host::MorphElement>(&element.body)) {
        auto vertex = [&](std::int32_t number, host::HostPoint3& p) {
            if (number < 1 || static_cast<std::size_t>(number) > morph->vertices.size()) return false;
            p = transformed(morph->transform, morph->vertices[static_cast<std::size_t>(number - 1)]);
            return true;
        };
        for (const auto& polygon : morph->polygons) {
            std::vector<host::HostPoint3> loop;
            bool valid = true;
            for (std::int32_t e : polygon.edges) {
                const auto k = static_cast<std::size_t>(e > 0 ? e : -static_cast<std::int64_t>(e));
                if (e == 0 || k > morph->edges.size()) {
                    valid = false;
                    break;
                }
                const host::MorphEdge& edge = morph->edges[k - 1];
                host::HostPoint3 p;
                if (!vertex(e > 0 ? edge.from : edge.to, p)) {
                    valid = false;
                    break;
                }
                loop.push_back(p);
            }
            if (valid) addPlanarFaces(morph->layer, loop, out);
        }
    }
    return out;
}

}  // namespace exporter
