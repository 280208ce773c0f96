#include "exporter/ElementMesh.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <set>
#include <tuple>
#include <utility>

#include "exporter/ExportGeometry.h"
#include "exporter/MeshSurface.h"

namespace exporter {

namespace {

using Point = host::HostPoint3;

Point transformed(const double t[12], const Point& p) {
    return {t[0] * p.x + t[1] * p.y + t[2] * p.z + t[3], t[4] * p.x + t[5] * p.y + t[6] * p.z + t[7],
            t[8] * p.x + t[9] * p.y + t[10] * p.z + t[11]};
}

// Newell's normal of a loop: its direction is the side the loop turns anticlockwise around.
Point newellNormal(const std::vector<Point>& pts, const std::vector<std::uint32_t>& loop) {
    Point n;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const Point& p = pts[loop[i]];
        const Point& q = pts[loop[(i + 1) % loop.size()]];
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return n;
}

// Triangles of one planar (or nearly planar) loop, wound as the loop is. The loop is flattened along its
// normal's largest axis and triangulated anticlockwise there; where that axis points away from the normal
// the triangles are turned back. Every corner is kept, straight ones too, so neighbouring faces still meet
// edge to edge.
void addLoop(const std::vector<Point>& pts, const std::vector<std::uint32_t>& loop, std::vector<std::uint32_t>& out,
             const std::function<bool(std::uint32_t, std::uint32_t)>& taken) {
    if (loop.size() < 3) return;
    if (loop.size() == 3) {
        out.insert(out.end(), loop.begin(), loop.end());
        return;
    }
    const Point n = newellNormal(pts, loop);
    const double ax = std::abs(n.x), ay = std::abs(n.y), az = std::abs(n.z);
    // (x, y) for z, (y, z) for x and (z, x) for y keep the orientation of a positive axis.
    const int axis = az >= ax && az >= ay ? 2 : ax >= ay ? 0 : 1;
    const double sign = axis == 2 ? n.z : axis == 0 ? n.x : n.y;
    std::vector<host::HostPoint2> ring;
    ring.reserve(loop.size());
    for (std::uint32_t k : loop) {
        const Point& p = pts[k];
        ring.push_back(axis == 2   ? host::HostPoint2{p.x, p.y}
                       : axis == 0 ? host::HostPoint2{p.y, p.z}
                                   : host::HostPoint2{p.z, p.x});
    }
    const auto tri = triangulateRing(ring, [&](std::size_t a, std::size_t b) { return taken(loop[a], loop[b]); });
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        if (sign < 0) out.insert(out.end(), {loop[tri[i]], loop[tri[i + 2]], loop[tri[i + 1]]});
        else out.insert(out.end(), {loop[tri[i]], loop[tri[i + 1]], loop[tri[i + 2]]});
    }
}

void addMorph(const host::MorphElement& morph, ElementMesh& out) {
    out.solid = true;
    out.points.reserve(morph.vertices.size());
    for (const Point& v : morph.vertices) out.points.push_back(transformed(morph.transform, v));
    const auto nv = static_cast<std::int64_t>(out.points.size());
    // Sides drawn so far, between corners (vertices at one position are one corner).
    std::map<std::tuple<double, double, double>, std::uint32_t> corners;
    std::vector<std::uint32_t> corner(out.points.size());
    for (std::size_t i = 0; i < out.points.size(); ++i)
        corner[i] =
            corners
                .emplace(std::tuple{out.points[i].x, out.points[i].y, out.points[i].z}, static_cast<std::uint32_t>(i))
                .first->second;
    std::set<std::pair<std::uint32_t, std::uint32_t>> sides;
    auto side = [&](std::uint32_t a, std::uint32_t b) { return std::minmax(corner[a], corner[b]); };
    const auto taken = [&](std::uint32_t a, std::uint32_t b) { return sides.count(side(a, b)) > 0; };
    for (const auto& polygon : morph.polygons) {
        std::vector<std::uint32_t> loop;
        loop.reserve(polygon.edges.size());
        bool valid = true;
        for (std::int32_t e : polygon.edges) {
            const std::int64_t k = e > 0 ? e : -static_cast<std::int64_t>(e);
            if (e == 0 || k > static_cast<std::int64_t>(morph.edges.size())) {
                valid = false;
                break;
            }
            const host::MorphEdge& edge = morph.edges[static_cast<std::size_t>(k - 1)];
            const std::int64_t v = e > 0 ? edge.from : edge.to;
            if (v < 1 || v > nv) {
                valid = false;
                break;
            }
            loop.push_back(static_cast<std::uint32_t>(v - 1));
        }
        if (!valid) continue;
        const std::size_t first = out.triangles.size();
        addLoop(out.points, loop, out.triangles, taken);
        for (std::size_t t = first; t + 2 < out.triangles.size(); t += 3)
            for (int k = 0; k < 3; ++k) sides.insert(side(out.triangles[t + k], out.triangles[t + (k + 1) % 3]));
    }
}

// A slab: its outline anticlockwise and its holes clockwise seen from above, so that the walls built along
// each ring face away from the solid; the top faces up and the bottom down.
void addSlab(const host::SlabElement& slab, ElementMesh& out) {
    double bottom = slab.level, top = slab.level + slab.thickness;
    if (top < bottom) std::swap(top, bottom);
    std::vector<std::vector<host::HostPoint2>> rings;
    for (std::size_t r = 0; r < slab.contours.size(); ++r) {
        auto ring = openRing(slab.contours[r]);
        if (ring.size() < 3) {
            if (r == 0) return;
            continue;
        }
        if ((signedArea(ring) > 0) != (r == 0)) std::reverse(ring.begin(), ring.end());
        rings.push_back(std::move(ring));
    }
    if (rings.empty()) return;
    std::size_t count = 0;
    for (const auto& ring : rings) count += ring.size();
    const bool walls = top > bottom;
    out.solid = walls;
    // Points: every ring corner at the top, then (for a slab with thickness) the same at the bottom.
    for (const auto& ring : rings)
        for (const auto& p : ring) out.points.push_back({p.x, p.y, top});
    if (walls)
        for (const auto& ring : rings)
            for (const auto& p : ring) out.points.push_back({p.x, p.y, bottom});
    std::vector<host::HostPoint2> used;
    const auto tri = triangulateRings(rings, used);  // indices follow the rings' points in order
    const auto lower = static_cast<std::uint32_t>(count);
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        const auto a = static_cast<std::uint32_t>(tri[i]), b = static_cast<std::uint32_t>(tri[i + 1]),
                   c = static_cast<std::uint32_t>(tri[i + 2]);
        out.triangles.insert(out.triangles.end(), {a, b, c});
        if (walls) out.triangles.insert(out.triangles.end(), {lower + a, lower + c, lower + b});
    }
    if (!walls) return;
    std::uint32_t first = 0;
    for (const auto& ring : rings) {
        const auto n = static_cast<std::uint32_t>(ring.size());
        for (std::uint32_t i = 0; i < n; ++i) {
            const std::uint32_t p = first + i, q = first + (i + 1) % n;
            out.triangles.insert(out.triangles.end(), {lower + p, lower + q, q, lower + p, q, p});
        }
        first += n;
    }
}

void addMesh(const host::MeshElement& mesh, ElementMesh& out) {
    MeshSurface surface = meshSurface(mesh);
    out.points = std::move(surface.points);
    out.triangles.reserve(surface.triangles.size());
    for (std::size_t k : surface.triangles) out.triangles.push_back(static_cast<std::uint32_t>(k));
}

}  // namespace

bool ElementMesh::closedShell() const {
    if (triangles.empty()) return false;
    // Points at one position are one corner, whatever their index.
    std::map<std::tuple<double, double, double>, std::uint32_t> corner;
    std::vector<std::uint32_t> id(points.size());
    for (std::size_t i = 0; i < points.size(); ++i)
        id[i] = corner.emplace(std::tuple{points[i].x, points[i].y, points[i].z}, static_cast<std::uint32_t>(i))
                    .first->second;
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> walked;
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3)
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = id[triangles[t + k]], b = id[triangles[t + (k + 1) % 3]];
            if (a == b) return false;
            ++walked[{a, b}];
        }
    for (const auto& [edge, uses] : walked) {
        if (uses != 1) return false;
        const auto back = walked.find({edge.second, edge.first});
        if (back == walked.end() || back->second != 1) return false;
    }
    return true;
}

double ElementMesh::signedVolume() const {
    double v = 0.0;
    for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
        const Point &a = points[triangles[t]], &b = points[triangles[t + 1]], &c = points[triangles[t + 2]];
        v += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    return v / 6.0;
}

ElementMesh meshOf(const model::StoredElement& element) {
    ElementMesh out;
    if (const auto* mesh = std::get_if<host::MeshElement>(&element.body)) addMesh(*mesh, out);
    else if (const auto* slab = std::get_if<host::SlabElement>(&element.body)) addSlab(*slab, out);
    else if (const auto* morph = std::get_if<host::MorphElement>(&element.body)) addMorph(*morph, out);
    return out;
}

}  // namespace exporter
