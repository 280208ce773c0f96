#include "exporter/MeshSurface.h"

#include <cmath>
#include <map>
#include <utility>

#include "exporter/ExportGeometry.h"
#include "exporter/detail/Delaunay.h"

namespace exporter {

namespace {

bool insideRing(const std::vector<host::HostPoint2>& ring, double x, double y) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const auto& a = ring[i];
        const auto& b = ring[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

}  // namespace

MeshSurface meshSurface(const host::MeshElement& mesh) {
    MeshSurface out;
    std::vector<host::HostPoint2> ring;
    // Where two vertices share a position the first one's height counts, the outline's before the level lines'.
    std::map<std::pair<double, double>, std::size_t> seen;
    auto add = [&](const host::HostPoint3& p) {
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) return;
        if (seen.emplace(std::pair{p.x, p.y}, out.points.size()).second)
            out.points.push_back({p.x, p.y, mesh.level + p.z});
    };
    for (const auto& p : mesh.outline) {
        add(p);
        ring.push_back({p.x, p.y});
    }
    ring = openRing(std::move(ring));
    const std::size_t outlineCount = out.points.size();
    for (const auto& line : mesh.levelLines)
        for (const auto& p : line) add(p);
    if (ring.size() < 3) return out;

    std::vector<host::HostPoint2> flat;
    flat.reserve(out.points.size());
    for (const auto& p : out.points) flat.push_back({p.x, p.y});
    if (out.points.size() == outlineCount) {
        std::vector<host::HostPoint2> used;
        const auto tri = triangulateRings({flat}, used);
        // The ring's points keep their order in `used`, so its indices name outline points.
        for (std::size_t i = 0; i + 2 < tri.size(); i += 3)
            if (tri[i] < outlineCount && tri[i + 1] < outlineCount && tri[i + 2] < outlineCount)
                out.triangles.insert(out.triangles.end(), {tri[i], tri[i + 1], tri[i + 2]});
        return out;
    }
    // The level points make the relief; triangles reaching outside the outline are not part of the mesh.
    const std::vector<std::size_t> tri = detail::delaunayTriangles(flat);
    out.triangles.reserve(tri.size());
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        const auto& a = flat[tri[i]];
        const auto& b = flat[tri[i + 1]];
        const auto& c = flat[tri[i + 2]];
        if (!insideRing(ring, (a.x + b.x + c.x) / 3.0, (a.y + b.y + c.y) / 3.0)) continue;
        out.triangles.insert(out.triangles.end(), {tri[i], tri[i + 1], tri[i + 2]});
    }
    return out;
}

}  // namespace exporter
