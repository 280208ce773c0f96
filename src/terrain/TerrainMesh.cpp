#include "terrain/TerrainMesh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "platform/Numbers.h"
#include "settings/Diagnostics.h"
#include "terrain/detail/MeshBounds.h"

namespace terrain {

using detail::diagnosticHeight;
using detail::MeshBounds;

host::HostError createTerrainMesh(const TerrainPatch& patch, const PlanarMap& map, double zOffset, std::int32_t layer,
                                  const std::array<host::HostPoint2, 4>& corners) {
    if (patch.points.empty()) return host::kHostOk;
    host::MeshElement mesh;
    if (host::HostError err = host::host().defaultMesh(mesh); err != host::kHostOk) return err;
    mesh.layer = layer;
    mesh.byteSetting = kTerrainMeshByteSetting;
    mesh.flagSetting = kTerrainMeshFlagSetting;
    mesh.wideSetting = kTerrainMeshWideSetting;

    // The outline: the patch's own, else the corners; each vertex takes the height of the nearest patch point (the
    // first of equally near ones).
    std::vector<host::HostPoint2> vertices(corners.begin(), corners.end());
    if (!patch.outline.empty()) {
        vertices.clear();
        for (const geodesy::PlanarPoint& v : patch.outline) vertices.push_back({v.x, v.y});
    }
    std::vector<double> cornerZ(vertices.size(), 0.0);
    for (std::size_t k = 0; k < vertices.size(); ++k) {
        double best = std::numeric_limits<double>::infinity();
        for (const auto& p : patch.points) {
            const double dx = p.x - vertices[k].x, dy = p.y - vertices[k].y;
            const double d = dx * dx + dy * dy;
            if (d < best) {
                best = d;
                cornerZ[k] = p.z - zOffset;
            }
        }
    }
    MeshBounds ring, points;
    mesh.outline.clear();
    for (std::size_t k = 0; k <= vertices.size(); ++k) {
        const std::size_t v = k % vertices.size();
        const host::HostPoint2 m = map(vertices[v].x, vertices[v].y);
        mesh.outline.push_back({m.x, m.y, cornerZ[v]});
        ring.add(m.x, m.y, cornerZ[v]);
    }
    const auto onOutline = [&patch](const geodesy::SpatialPoint& p) {
        return std::any_of(patch.outline.begin(), patch.outline.end(),
                           [&p](const geodesy::PlanarPoint& v) { return v.x == p.x && v.y == p.y; });
    };
    mesh.levelLines.clear();
    mesh.levelLines.reserve(patch.points.size());
    for (const auto& p : patch.points) {
        if (!patch.outline.empty() && onOutline(p)) continue;
        const host::HostPoint2 m = map(p.x, p.y);
        mesh.levelLines.push_back({{m.x, m.y, p.z - zOffset}});
        points.add(m.x, m.y, p.z - zOffset);
    }
    host::ElementId id;
    const host::HostError err = host::host().createMesh(mesh, id);

    settings::appendDiagnosticLine(
        settings::kTerenDiagFile,
        "createMesh nPts=" + std::to_string(patch.points.size()) + " err=" + std::to_string(err) +
            " ptXY=" + points.planarText() + " ringXY=" + ring.planarText() + " ptZ=[" + diagnosticHeight(points.minZ) +
            ".." + diagnosticHeight(points.maxZ) + "] ringZ=[" + diagnosticHeight(cornerZ[0]) + "," +
            diagnosticHeight(cornerZ[1 % cornerZ.size()]) + "," + diagnosticHeight(cornerZ[2 % cornerZ.size()]) + "," +
            diagnosticHeight(cornerZ[3 % cornerZ.size()]) + "]");
    return err;
}

}  // namespace terrain
