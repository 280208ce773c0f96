#include "terrain/ContourMesh.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "settings/Diagnostics.h"
#include "terrain/TerrainMesh.h"
#include "terrain/detail/MeshBounds.h"

namespace terrain {

using detail::diagnosticHeight;
using detail::diagnosticMetres;
using detail::MeshBounds;

namespace {

double length(const std::vector<geodesy::PlanarPoint>& p) {
    double len = 0.0;
    for (std::size_t i = 1; i < p.size(); ++i) len += std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
    return len;
}

bool closedLine(const std::vector<geodesy::PlanarPoint>& p) {
    return std::fabs(p.front().x - p.back().x) < 1e-6 && std::fabs(p.front().y - p.back().y) < 1e-6;
}

}  // namespace

ContourMeshResult createContourMesh(const std::vector<ContourLine>& contours, const PlanarMap& map, double zOffset,
                                    std::int32_t layer, const std::array<host::HostPoint2, 4>& frameCorners) {
    ContourMeshResult result;
    std::vector<std::vector<host::HostPoint3>> lines;
    std::size_t total = 0;
    int closed = 0;
    double lenMin = std::numeric_limits<double>::infinity(), lenMax = -lenMin;
    for (const auto& c : contours) {
        const double len = length(c.points);
        if (c.points.size() < 2 || !(len >= kContourMeshMinLength)) {
            ++result.rejectedStubs;
            continue;
        }
        lenMin = std::min(lenMin, len);
        lenMax = std::max(lenMax, len);
        if (closedLine(c.points)) ++closed;
        std::vector<host::HostPoint3> line;
        line.reserve(c.points.size());
        for (const auto& p : c.points) {
            const host::HostPoint2 m = map(p.x, p.y);
            line.push_back({m.x, m.y, c.z - zOffset});
        }
        total += line.size();
        lines.push_back(std::move(line));
    }
    result.keptLines = static_cast<int>(lines.size());
    if (total < 3) return result;

    std::array<host::HostPoint2, 4> corners;
    for (std::size_t k = 0; k < 4; ++k) corners[k] = map(frameCorners[k].x, frameCorners[k].y);
    const double side1 = std::hypot(corners[1].x - corners[0].x, corners[1].y - corners[0].y);
    const double side2 = std::hypot(corners[2].x - corners[1].x, corners[2].y - corners[1].y);
    if (!(side1 > 1e-6) || !(side2 > 1e-6)) return result;

    host::MeshElement mesh;
    if (host::HostError err = host::host().defaultMesh(mesh); err != host::kHostOk) {
        result.error = err;
        return result;
    }
    mesh.layer = layer;
    mesh.byteSetting = kContourMeshByteSetting;
    mesh.flagSetting = kTerrainMeshFlagSetting;
    mesh.wideSetting = kTerrainMeshWideSetting;

    // Each corner takes the level of the nearest contour vertex (the first of equally near ones).
    std::array<double, 4> cornerZ{};
    MeshBounds bounds;
    for (const auto& line : lines)
        for (const auto& p : line) bounds.add(p.x, p.y, p.z);
    for (std::size_t k = 0; k < 4; ++k) {
        double best = std::numeric_limits<double>::infinity();
        for (const auto& line : lines)
            for (const auto& p : line) {
                const double dx = p.x - corners[k].x, dy = p.y - corners[k].y;
                const double d = dx * dx + dy * dy;
                if (d < best) {
                    best = d;
                    cornerZ[k] = p.z;
                }
            }
    }
    mesh.outline.clear();
    for (std::size_t k = 0; k < 5; ++k) mesh.outline.push_back({corners[k % 4].x, corners[k % 4].y, cornerZ[k % 4]});
    mesh.levelLines = std::move(lines);

    host::ElementId id;
    result.error = host::host().createMesh(mesh, id);
    result.created = result.error == host::kHostOk;

    settings::appendDiagnosticLine(
        settings::kTerenDiagFile,
        "createMeshFromContours nPts=" + std::to_string(total) + " nSub=" + std::to_string(result.keptLines) +
            " (zamk=" + std::to_string(closed) + " otw=" + std::to_string(result.keptLines - closed) +
            " stubOdrzuc=" + std::to_string(result.rejectedStubs) + " lenMin=" + diagnosticMetres(lenMin) +
            " lenMax=" + diagnosticMetres(lenMax) + ") err=" + std::to_string(result.error) +
            " ptXY=" + bounds.planarText() + " ramka=" + diagnosticMetres(side1) + "x" + diagnosticMetres(side2) +
            " fkZ=[" + diagnosticHeight(cornerZ[0]) + "," + diagnosticHeight(cornerZ[1]) + "," +
            diagnosticHeight(cornerZ[2]) + "," + diagnosticHeight(cornerZ[3]) + "] cZ=[" +
            diagnosticHeight(bounds.minZ) + ".." + diagnosticHeight(bounds.maxZ) + "]");
    return result;
}

}  // namespace terrain
