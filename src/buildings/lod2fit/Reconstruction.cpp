#include "buildings/lod2fit/Reconstruction.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "buildings/lod2fit/PlaneDetection.h"
#include "buildings/lod2fit/PrimitiveRegistry.h"
#include "buildings/lod2fit/RoofTypeSelection.h"

namespace lod2fit {

using geodesy::PlanarPoint, geodesy::SpatialPoint;

namespace {

constexpr double kFallbackError = 1.6;
constexpr double kMinConfidence = 0.5;

// The value at share q of the sorted values, interpolated between neighbours.
double percentile(const std::vector<double>& sorted, double q) {
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto lo = static_cast<std::size_t>(std::floor(at));
    const std::size_t hi = std::min(lo + 1, sorted.size() - 1);
    return sorted[lo] + (sorted[hi] - sorted[lo]) * (at - static_cast<double>(lo));
}

struct Rotation {
    double cx = 0, cy = 0, cosT = 1, sinT = 0;
    // By -theta about the centre (into the building's frame); `back` turns by +theta.
    void apply(double& x, double& y, bool back) const {
        const double dx = x - cx, dy = y - cy, s = back ? -sinT : sinT;
        x = cx + dx * cosT + dy * s;
        y = cy - dx * s + dy * cosT;
    }
};

double dot3(const SpatialPoint& a, const SpatialPoint& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
SpatialPoint sub(const SpatialPoint& a, const SpatialPoint& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
SpatialPoint cross(const SpatialPoint& a, const SpatialPoint& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const SpatialPoint& a) { return std::sqrt(dot3(a, a)); }

// Distance to a vertex when the point lies beyond it along both its edges, else to the triangle's plane.
double triangleDistance(const SpatialPoint& p, const SpatialPoint& a, const SpatialPoint& b, const SpatialPoint& c) {
    const SpatialPoint* corners[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i) {
        const SpatialPoint& v = *corners[i];
        const SpatialPoint pv = sub(p, v);
        if (dot3(pv, sub(*corners[(i + 1) % 3], v)) <= 0 && dot3(pv, sub(*corners[(i + 2) % 3], v)) <= 0)
            return length(pv);
    }
    const SpatialPoint n = cross(sub(b, a), sub(c, a));
    const double len = length(n);
    if (len < 1e-12) return length(sub(p, a));
    return std::fabs(dot3(sub(p, a), n)) / len;
}

std::size_t longestEdge(const Footprint& f) {
    std::size_t best = 0;
    double bestLength = -1.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const PlanarPoint& a = f[i];
        const PlanarPoint& b = f[(i + 1) % f.size()];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len > bestLength) {
            bestLength = len;
            best = i;
        }
    }
    return best;
}

}  // namespace

double meanDistanceToMesh(const std::vector<SpatialPoint>& points, const RoofMesh& mesh) {
    if (points.empty() || mesh.faces.empty()) return 1e9;
    const std::size_t step = points.size() > 5000 ? points.size() / 5000 : 1;
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < points.size(); i += step) {
        double nearest = 1e9;
        for (const std::vector<std::int32_t>& face : mesh.faces) {
            for (std::size_t k = 1; k + 1 < face.size(); ++k)
                nearest = std::min(nearest, triangleDistance(points[i], mesh.vertices[face[0]], mesh.vertices[face[k]],
                                                             mesh.vertices[face[k + 1]]));
        }
        sum += nearest;
        ++count;
    }
    return sum / static_cast<double>(count);
}

RoofFitResult reconstructBuilding(const std::vector<SpatialPoint>& points, const Footprint& footprint, double groundZ) {
    RoofFitResult result;
    // The building's frame: the longest edge along x. The rotated footprint starts at that edge, since the
    // ridge of the gabled shapes runs along edge 0->1.
    Rotation rotation;
    Footprint local;
    if (!footprint.empty()) {
        const std::size_t first = longestEdge(footprint);
        const PlanarPoint& a = footprint[first];
        const PlanarPoint& b = footprint[(first + 1) % footprint.size()];
        const double theta = std::atan2(b.y - a.y, b.x - a.x);
        for (const PlanarPoint& p : footprint) {
            rotation.cx += p.x;
            rotation.cy += p.y;
        }
        rotation.cx /= static_cast<double>(footprint.size());
        rotation.cy /= static_cast<double>(footprint.size());
        rotation.cosT = std::cos(theta);
        rotation.sinT = std::sin(theta);
        for (std::size_t i = 0; i < footprint.size(); ++i) {
            PlanarPoint p = footprint[(first + i) % footprint.size()];
            rotation.apply(p.x, p.y, false);
            local.push_back(p);
        }
    }
    std::vector<SpatialPoint> rotated = points;
    for (SpatialPoint& p : rotated) rotation.apply(p.x, p.y, false);

    // Roof points: those well above the ground.
    RoofParams& params = result.params;
    params.groundZ = groundZ;
    std::vector<SpatialPoint> roof;
    if (rotated.size() >= 8) {
        std::vector<double> z;
        for (const SpatialPoint& p : rotated) z.push_back(p.z);
        std::sort(z.begin(), z.end());
        const double threshold = std::max(0.4 * (percentile(z, 0.98) - groundZ), 2.0);
        for (const SpatialPoint& p : rotated)
            if (p.z > groundZ + threshold) roof.push_back(p);
        if (roof.size() < 30) {
            roof.clear();
            for (const SpatialPoint& p : rotated)
                if (p.z > groundZ + 2.0) roof.push_back(p);
        }
        if (roof.size() < 12) roof.clear();
    }
    if (!roof.empty()) {
        std::vector<double> z;
        for (const SpatialPoint& p : roof) z.push_back(p.z);
        std::sort(z.begin(), z.end());
        params.eaveZ = percentile(z, 0.10);
        params.ridgeZ = std::max(percentile(z, 0.95), params.eaveZ + 0.1);
    } else {
        roof = rotated;
        params.eaveZ = groundZ + 0.1;
        params.ridgeZ = groundZ + 3.0;
    }

    const RoofTypeChoice choice = selectRoofType(detectPlanes(roof), roof);
    result.typeName = choice.type;
    result.confidence = choice.confidence;
    params.ridgeZ = std::max(params.ridgeZ, params.eaveZ + 0.1);
    if (local.size() >= 2) {
        const double dx = local[1].x - local[0].x, dy = local[1].y - local[0].y, len = std::hypot(dx, dy);
        if (len > 1e-9) {
            params.dirX = dx / len;
            params.dirY = dy / len;
        }
    }
    // Lean the one-sided shapes the way the points do: a Shed rises across the longest edge towards +n, an
    // AsymGabled has its wide slope on edge 0->1.
    if (choice.type == "Shed" && -params.dirY * choice.riseX + params.dirX * choice.riseY < 0) {
        params.dirX = -params.dirX;
        params.dirY = -params.dirY;
    }
    if (choice.type == "AsymGabled" && local.size() == 4) {
        const double wx = local[3].x - local[0].x, wy = local[3].y - local[0].y;
        if (wx * choice.riseX + wy * choice.riseY < 0) std::rotate(local.begin(), local.begin() + 2, local.end());
    }

    result.mesh = findPrimitive(result.typeName).build(params, local);
    result.meanError = meanDistanceToMesh(roof, result.mesh);
    result.fallback = !(result.meanError < kFallbackError && result.confidence >= kMinConfidence);
    for (SpatialPoint& v : result.mesh.vertices) rotation.apply(v.x, v.y, true);
    return result;
}

void turnFacesOutward(RoofMesh& mesh) {
    const std::size_t n = mesh.vertices.size();
    std::vector<std::size_t> parent(n);
    std::iota(parent.begin(), parent.end(), 0);
    auto root = [&parent](std::size_t i) {
        while (parent[i] != i) i = parent[i] = parent[parent[i]];
        return i;
    };
    for (const std::vector<std::int32_t>& face : mesh.faces)
        for (std::size_t k = 1; k < face.size(); ++k) parent[root(face[k])] = root(face[0]);
    std::vector<SpatialPoint> sum(n);
    std::vector<std::size_t> count(n, 0);
    for (std::size_t i = 0; i < n; ++i) {
        const std::size_t r = root(i);
        sum[r].x += mesh.vertices[i].x;
        sum[r].y += mesh.vertices[i].y;
        sum[r].z += mesh.vertices[i].z;
        ++count[r];
    }
    for (std::vector<std::int32_t>& face : mesh.faces) {
        if (face.size() < 3) continue;
        SpatialPoint normal, centre;
        for (std::size_t k = 0; k < face.size(); ++k) {
            const SpatialPoint& p = mesh.vertices[face[k]];
            const SpatialPoint& q = mesh.vertices[face[(k + 1) % face.size()]];
            normal.x += (p.y - q.y) * (p.z + q.z);
            normal.y += (p.z - q.z) * (p.x + q.x);
            normal.z += (p.x - q.x) * (p.y + q.y);
            centre.x += p.x;
            centre.y += p.y;
            centre.z += p.z;
        }
        const std::size_t r = root(face[0]);
        const double m = static_cast<double>(face.size()), c = static_cast<double>(count[r]);
        const SpatialPoint out{centre.x / m - sum[r].x / c, centre.y / m - sum[r].y / c, centre.z / m - sum[r].z / c};
        if (dot3(out, normal) < 0) std::reverse(face.begin(), face.end());
    }
}

}  // namespace lod2fit
