#include "buildings/lod2fit/Reconstruction.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "buildings/lod2fit/PlaneDetection.h"
#include "buildings/lod2fit/PrimitiveRegistry.h"
#include "buildings/lod2fit/RoofTypeSelection.h"
#include "buildings/lod2fit/detail/RoofPoints.h"

namespace lod2fit {

using geodesy::PlanarPoint, geodesy::SpatialPoint;

namespace {

constexpr double kFallbackError = 1.6;
constexpr double kMinConfidence = 0.5;
// A roof whose heights miss its points by more than this (root mean square) is marked for correction. A roof of
// the right shape misses by its points' noise and small parts such as chimneys and dormers (0.05 to 0.3 m), one of
// the wrong shape or turned the wrong way by 0.55 m and more; where a tree hides part of a roof the points and the
// roof's truth differ by up to 0.1 m, so 0.4 m keeps every roof more than 0.5 m off its truth marked.
constexpr double kFallbackRms = 0.4;
// Points this close above the ground are walls or ground returns, not roof.
constexpr double kAboveGround = 1.0;

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

// The triangles of a mesh's faces, fanned from each face's first vertex.
struct Triangle {
    const SpatialPoint *a, *b, *c;
};
std::vector<Triangle> trianglesOf(const RoofMesh& mesh) {
    std::vector<Triangle> out;
    for (const std::vector<std::int32_t>& face : mesh.faces)
        for (std::size_t k = 1; k + 1 < face.size(); ++k)
            out.push_back({&mesh.vertices[face[0]], &mesh.vertices[face[k]], &mesh.vertices[face[k + 1]]});
    return out;
}

// The highest height of the triangles straight above or below (x, y); false where none lies over it.
bool topAt(const std::vector<Triangle>& triangles, double x, double y, double& z) {
    bool found = false;
    for (const Triangle& t : triangles) {
        const SpatialPoint &a = *t.a, &b = *t.b, &c = *t.c;
        const double det = (b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y);
        if (std::fabs(det) < 1e-9) continue;  // a wall seen from above
        const double s = ((x - a.x) * (c.y - a.y) - (c.x - a.x) * (y - a.y)) / det;
        const double u = ((b.x - a.x) * (y - a.y) - (x - a.x) * (b.y - a.y)) / det;
        if (s < -1e-9 || u < -1e-9 || s + u > 1.0 + 1e-9) continue;
        const double h = a.z + s * (b.z - a.z) + u * (c.z - a.z);
        if (!found || h > z) z = h;
        found = true;
    }
    return found;
}

// Edge index of the footprint that runs most nearly across the rise (along the ridge or the slope's contour
// lines); among edges within a few degrees of that, the longest.
std::size_t edgeAcrossRise(const Footprint& f, double riseX, double riseY) {
    const double rise = std::hypot(riseX, riseY);
    std::vector<double> score(f.size()), length(f.size());
    double best = 2.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        const PlanarPoint& a = f[i];
        const PlanarPoint& b = f[(i + 1) % f.size()];
        length[i] = std::hypot(b.x - a.x, b.y - a.y);
        score[i] = length[i] > 1e-9 ? std::fabs((b.x - a.x) * riseX + (b.y - a.y) * riseY) / (length[i] * rise) : 2.0;
        best = std::min(best, score[i]);
    }
    std::size_t chosen = 0;
    double longest = -1.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (score[i] <= best + 0.1 && length[i] > longest) {
            longest = length[i];
            chosen = i;
        }
    }
    return chosen;
}

bool insideRing(const Footprint& f, double x, double y) {
    bool in = false;
    for (std::size_t i = 0, j = f.size() - 1; i < f.size(); j = i++)
        if ((f[i].y > y) != (f[j].y > y) && x < f[i].x + (y - f[i].y) * (f[j].x - f[i].x) / (f[j].y - f[i].y)) in = !in;
    return in;
}

// The eave and ridge heights the planes give a roof of the chosen type over the footprint. Gabled and hipped roofs
// are the lower envelope of their planes: the eave where it meets the corners, the ridge at its highest over the
// footprint; a shed's plane gives the eave at its lowest corner and the ridge at its highest. False for other
// types. (Percentiles of the points set the eave a tenth of the rise too high and the ridge too low, and miss low
// eaves the roof-point threshold cuts away.)
bool planeHeights(const RoofTypeChoice& choice, const Footprint& f, double& eave, double& ridge) {
    std::vector<RoofPlane> planes = choice.slopes;
    if (choice.type == "Shed" || choice.type == "Gabled" || choice.type == "AsymGabled")
        planes.resize(std::min(planes.size(), choice.type == "Shed" ? std::size_t{1} : std::size_t{2}));
    else if (choice.type != "Hipped") return false;
    if (planes.empty() || f.size() < 3) return false;
    auto envelope = [&planes](double x, double y) {
        double z = 1e18;
        for (const RoofPlane& p : planes) z = std::min(z, -(p.a * x + p.b * y + p.d) / p.c);
        return z;
    };
    double low = 1e18, high = -1e18, sum = 0.0;
    for (const PlanarPoint& v : f) {
        const double z = envelope(v.x, v.y);
        low = std::min(low, z), high = std::max(high, z), sum += z;
    }
    if (choice.type == "Shed") {
        eave = low, ridge = high;
        return true;
    }
    eave = sum / static_cast<double>(f.size());
    double minX = f[0].x, maxX = f[0].x, minY = f[0].y, maxY = f[0].y;
    for (const PlanarPoint& v : f)
        minX = std::min(minX, v.x), maxX = std::max(maxX, v.x), minY = std::min(minY, v.y), maxY = std::max(maxY, v.y);
    const double step = std::max(0.25, std::hypot(maxX - minX, maxY - minY) / 200.0);
    ridge = high;
    for (double y = minY + step / 2; y < maxY; y += step)
        for (double x = minX + step / 2; x < maxX; x += step)
            if (insideRing(f, x, y)) ridge = std::max(ridge, envelope(x, y));
    return true;
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

double rmsHeightError(const std::vector<SpatialPoint>& points, const RoofMesh& mesh) {
    if (points.empty() || mesh.faces.empty()) return 1e9;
    const std::vector<Triangle> triangles = trianglesOf(mesh);
    const std::size_t step = points.size() > 5000 ? points.size() / 5000 : 1;
    double sum = 0.0;
    std::size_t count = 0;
    for (std::size_t i = 0; i < points.size(); i += step) {
        const SpatialPoint& p = points[i];
        double d = 0.0;
        if (topAt(triangles, p.x, p.y, d)) {
            d -= p.z;
        } else {
            d = 1e9;
            for (const Triangle& t : triangles) d = std::min(d, triangleDistance(p, *t.a, *t.b, *t.c));
        }
        sum += d * d;
        ++count;
    }
    return std::sqrt(sum / static_cast<double>(count));
}

RoofFitResult reconstructBuilding(const std::vector<SpatialPoint>& points, const Footprint& given, double groundZ) {
    RoofFitResult result;
    const Footprint footprint = detail::withoutStraightCorners(given);
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
    std::vector<SpatialPoint> rotated =
        footprint.size() >= 3 ? detail::withoutIsolatedPoints(points, detail::areaOf(footprint)) : points;
    for (SpatialPoint& p : rotated) rotation.apply(p.x, p.y, false);

    // Roof points: those well above the ground.
    RoofParams& params = result.params;
    params.groundZ = groundZ;
    std::vector<SpatialPoint> roof;
    double highest = groundZ;  // the 98th percentile of the points' heights
    if (rotated.size() >= 8) {
        std::vector<double> z;
        for (const SpatialPoint& p : rotated) z.push_back(p.z);
        std::sort(z.begin(), z.end());
        highest = percentile(z, 0.98);
        const double threshold = std::max(0.4 * (highest - groundZ), 2.0);
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
    // The ridge (or a shed's contour lines) runs the way the planes say, not always along the longest edge: a
    // near-square house may carry its ridge across.
    if (choice.type != "Flat" && local.size() >= 3 && std::hypot(choice.riseX, choice.riseY) > 1e-9) {
        const std::size_t first = edgeAcrossRise(local, choice.riseX, choice.riseY);
        std::rotate(local.begin(), local.begin() + static_cast<std::ptrdiff_t>(first), local.end());
    }
    if (local.size() >= 2) {
        const double dx = local[1].x - local[0].x, dy = local[1].y - local[0].y, len = std::hypot(dx, dy);
        if (len > 1e-9) {
            params.dirX = dx / len;
            params.dirY = dy / len;
        }
    }
    double eave = 0.0, ridge = 0.0;
    if (planeHeights(choice, local, eave, ridge) && eave > groundZ + kAboveGround && ridge > eave + 0.1 &&
        ridge < highest + 0.5) {
        params.eaveZ = eave;
        params.ridgeZ = ridge;
    }
    // Lean the one-sided shapes the way the points do: a Shed rises across edge 0->1 towards +n, an
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
    // Measured on every point clear of the ground, also those under the roof-point threshold near low eaves.
    std::vector<SpatialPoint> measured;
    for (const SpatialPoint& p : rotated)
        if (p.z > groundZ + kAboveGround) measured.push_back(p);
    result.rmsError = rmsHeightError(measured.empty() ? roof : measured, result.mesh);
    result.fallback =
        !(result.meanError < kFallbackError && result.confidence >= kMinConfidence && result.rmsError <= kFallbackRms);
    for (SpatialPoint& v : result.mesh.vertices) rotation.apply(v.x, v.y, true);
    return result;
}

void turnFacesOutward(RoofMesh& mesh) {
    // Faces that share an edge must run along it in opposite directions; each set of faces joined by edges is
    // made consistent that way and then turned as a whole so that its signed volume is positive. (Judging each
    // face against the middle of its part turns walls of an L- or T-shaped house inward.)
    using Edge = std::pair<std::int32_t, std::int32_t>;
    std::map<Edge, std::vector<std::pair<std::size_t, bool>>> edges;  // faces along an edge; true: lower index first
    auto forEdges = [&mesh](std::size_t f, auto&& visit) {
        const std::vector<std::int32_t>& face = mesh.faces[f];
        for (std::size_t k = 0; k < face.size(); ++k) {
            const std::int32_t a = face[k], b = face[(k + 1) % face.size()];
            if (a != b) visit(Edge{std::min(a, b), std::max(a, b)}, a < b);
        }
    };
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        if (mesh.faces[f].size() >= 3) forEdges(f, [&](const Edge& e, bool up) { edges[e].push_back({f, up}); });
    std::vector<int> reversed(mesh.faces.size(), -1);  // -1 not reached yet
    for (std::size_t seed = 0; seed < mesh.faces.size(); ++seed) {
        if (mesh.faces[seed].size() < 3 || reversed[seed] >= 0) continue;
        std::vector<std::size_t> part{seed};
        reversed[seed] = 0;
        for (std::size_t next = 0; next < part.size(); ++next) {
            const std::size_t f = part[next];
            forEdges(f, [&](const Edge& e, bool up) {
                const bool runs = up != (reversed[f] == 1);
                for (const auto& [g, gUp] : edges[e]) {
                    if (reversed[g] >= 0) continue;
                    reversed[g] = gUp == runs ? 1 : 0;
                    part.push_back(g);
                }
            });
        }
        SpatialPoint centre;
        double count = 0.0;
        for (std::size_t f : part)
            for (std::int32_t i : mesh.faces[f]) {
                centre.x += mesh.vertices[i].x, centre.y += mesh.vertices[i].y, centre.z += mesh.vertices[i].z;
                ++count;
            }
        centre = {centre.x / count, centre.y / count, centre.z / count};
        double volume = 0.0;
        for (std::size_t f : part) {
            const std::vector<std::int32_t>& face = mesh.faces[f];
            const double sign = reversed[f] == 1 ? -1.0 : 1.0;
            const SpatialPoint a = sub(mesh.vertices[face[0]], centre);
            for (std::size_t k = 1; k + 1 < face.size(); ++k)
                volume +=
                    sign * dot3(a, cross(sub(mesh.vertices[face[k]], centre), sub(mesh.vertices[face[k + 1]], centre)));
        }
        if (volume < 0)
            for (std::size_t f : part) reversed[f] = 1 - reversed[f];
    }
    for (std::size_t f = 0; f < mesh.faces.size(); ++f)
        if (reversed[f] == 1) std::reverse(mesh.faces[f].begin(), mesh.faces[f].end());
}

}  // namespace lod2fit
