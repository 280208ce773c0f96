#include "buildings/lod2fit/RoofTypeSelection.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace lod2fit {

namespace {

constexpr double kInlierDistance = 0.35;
constexpr double kFlatSlope = 8.0;
constexpr double kMergeSlope = 14.0;
constexpr double kMergeAzimuth = 22.0;
constexpr double kMinGroupShare = 0.08;
constexpr double kOppositeTolerance = 35.0;
constexpr double kAsymmetricSlopes = 12.0;

struct Group {
    bool flat = false;
    double slope = 0.0;    // degrees
    double azimuth = 0.0;  // degrees, 0..360
    double riseX = 0.0, riseY = 0.0;
    RoofPlane plane;
    int inliers = 0;
};

double degrees(double radians) { return radians * 180.0 / std::numbers::pi; }

// Azimuth difference folded to 0..180.
double azimuthDifference(double a, double b) {
    double d = std::fmod(std::fabs(a - b), 360.0);
    return d > 180.0 ? 360.0 - d : d;
}

}  // namespace

RoofTypeChoice selectRoofType(const std::vector<RoofPlane>& planes, const std::vector<geodesy::SpatialPoint>& points) {
    std::vector<Group> groups;
    for (const RoofPlane& plane : planes) {
        Group g;
        for (const geodesy::SpatialPoint& q : points)
            if (std::fabs(plane.distance(q.x, q.y, q.z)) <= kInlierDistance) ++g.inliers;
        g.slope = degrees(std::acos(std::min(1.0, std::fabs(plane.c))));
        g.flat = g.slope < kFlatSlope;
        g.azimuth = degrees(std::atan2(plane.b, plane.a));
        if (g.azimuth < 0) g.azimuth += 360.0;
        g.riseX = -plane.a;
        g.riseY = -plane.b;
        g.plane = plane;
        auto joins = [&g](const Group& earlier) {
            if (earlier.flat && g.flat) return true;
            return !earlier.flat && !g.flat && std::fabs(earlier.slope - g.slope) < kMergeSlope &&
                   azimuthDifference(earlier.azimuth, g.azimuth) < kMergeAzimuth;
        };
        const auto it = std::find_if(groups.begin(), groups.end(), joins);
        if (it != groups.end()) it->inliers += g.inliers;
        else groups.push_back(g);
    }
    std::vector<Group> kept;
    for (const Group& g : groups)
        if (g.inliers > kMinGroupShare * static_cast<double>(points.size())) kept.push_back(g);
    std::stable_sort(kept.begin(), kept.end(), [](const Group& a, const Group& b) { return a.inliers > b.inliers; });

    std::vector<const Group*> sloped;
    for (const Group& g : kept)
        if (!g.flat) sloped.push_back(&g);
    std::vector<bool> paired(sloped.size(), false);
    int pairs = 0;
    for (std::size_t i = 0; i < sloped.size(); ++i) {
        for (std::size_t j = i + 1; j < sloped.size() && !paired[i]; ++j) {
            if (paired[j]) continue;
            if (std::fabs(azimuthDifference(sloped[i]->azimuth, sloped[j]->azimuth) - 180.0) <= kOppositeTolerance) {
                paired[i] = paired[j] = true;
                ++pairs;
            }
        }
    }

    RoofTypeChoice choice;
    const std::size_t s = sloped.size();
    if (s > 0) {
        choice.riseX = sloped[0]->riseX;
        choice.riseY = sloped[0]->riseY;
    }
    for (const Group* g : sloped) choice.slopes.push_back(g->plane);
    if (s == 0) {
        choice = {"Flat", 1.0};
    } else if (s == 1) {
        choice.type = "Shed";
        choice.confidence = 0.9;
    } else if (s == 2 && pairs == 1) {
        const bool asymmetric = std::fabs(sloped[0]->slope - sloped[1]->slope) > kAsymmetricSlopes;
        choice.type = asymmetric ? "AsymGabled" : "Gabled";
        choice.confidence = asymmetric ? 0.8 : 0.9;
    } else if (pairs >= 2) {
        choice.type = "Hipped";
        choice.confidence = 0.35;
    } else if (s >= 3) {
        choice.type = "Hipped";
        choice.confidence = 0.7;
    } else {
        choice.type = "Hipped";
        choice.confidence = 0.4;
    }
    return choice;
}

}  // namespace lod2fit
