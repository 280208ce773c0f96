#include "buildings/lod2fit/PlaneDetection.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace lod2fit {

namespace {

class XorShift32 {
public:
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }

private:
    std::uint32_t state_ = 0x9E3779B9u;
};

double spreadOf(const std::vector<geodesy::SpatialPoint>& points, const std::vector<std::size_t>& indices) {
    double mx = 0, my = 0;
    for (std::size_t i : indices) {
        mx += points[i].x;
        my += points[i].y;
    }
    const double n = static_cast<double>(indices.size());
    mx /= n;
    my /= n;
    double vx = 0, vy = 0;
    for (std::size_t i : indices) {
        vx += (points[i].x - mx) * (points[i].x - mx);
        vy += (points[i].y - my) * (points[i].y - my);
    }
    return std::max(std::sqrt(vx / n), std::sqrt(vy / n));
}

}  // namespace

bool fitPlane(const std::vector<geodesy::SpatialPoint>& points, const std::vector<std::size_t>& indices,
              RoofPlane& plane) {
    if (indices.size() < 3) return false;
    double mx = 0, my = 0, mz = 0;
    for (std::size_t i : indices) {
        mx += points[i].x;
        my += points[i].y;
        mz += points[i].z;
    }
    const double n = static_cast<double>(indices.size());
    mx /= n;
    my /= n;
    mz /= n;
    double sxx = 0, sxy = 0, syy = 0, sxz = 0, syz = 0;
    for (std::size_t i : indices) {
        const double dx = points[i].x - mx, dy = points[i].y - my, dz = points[i].z - mz;
        sxx += dx * dx;
        sxy += dx * dy;
        syy += dy * dy;
        sxz += dx * dz;
        syz += dy * dz;
    }
    const double det = sxx * syy - sxy * sxy;
    if (std::fabs(det) < 1e-9) return false;
    const double alpha = (sxz * syy - syz * sxy) / det;
    const double beta = (sxx * syz - sxy * sxz) / det;
    const double len = std::sqrt(alpha * alpha + beta * beta + 1.0);
    plane.a = -alpha / len;
    plane.b = -beta / len;
    plane.c = 1.0 / len;
    plane.d = -(plane.a * mx + plane.b * my + plane.c * mz);
    return true;
}

std::vector<RoofPlane> detectPlanes(const std::vector<geodesy::SpatialPoint>& points, const PlaneDetectionSettings& s) {
    std::vector<RoofPlane> planes;
    std::vector<bool> used(points.size(), false);
    XorShift32 random;
    std::vector<std::size_t> candidates, inliers, best, sample(3);
    for (int round = 0; static_cast<int>(planes.size()) < s.maxPlanes && round < 3 * s.maxPlanes; ++round) {
        candidates.clear();
        for (std::size_t i = 0; i < points.size(); ++i)
            if (!used[i]) candidates.push_back(i);
        if (static_cast<int>(candidates.size()) < s.minInliers) break;
        best.clear();
        for (int trial = 0; trial < s.trials; ++trial) {
            for (std::size_t& k : sample) k = candidates[random.next() % candidates.size()];
            if (sample[0] == sample[1] || sample[0] == sample[2] || sample[1] == sample[2]) continue;
            RoofPlane plane;
            if (!fitPlane(points, sample, plane) || std::fabs(plane.c) < s.minAbsC) continue;
            inliers.clear();
            for (std::size_t i : candidates) {
                const geodesy::SpatialPoint& q = points[i];
                if (std::fabs(plane.distance(q.x, q.y, q.z)) <= s.inlierDistance) inliers.push_back(i);
            }
            if (inliers.size() > best.size()) best.swap(inliers);
        }
        if (static_cast<int>(best.size()) < s.minInliers) break;
        for (std::size_t i : best) used[i] = true;
        if (spreadOf(points, best) < s.minSpread) continue;
        RoofPlane refit;
        if (fitPlane(points, best, refit) && std::fabs(refit.c) >= s.minAbsC) planes.push_back(refit);
    }
    return planes;
}

}  // namespace lod2fit
