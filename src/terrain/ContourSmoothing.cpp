#include "terrain/ContourSmoothing.h"

#include <cmath>
#include <cstddef>

namespace terrain {

namespace {

using Points = std::vector<geodesy::PlanarPoint>;

bool isClosed(const Points& p) {
    return std::fabs(p.front().x - p.back().x) < 1e-6 && std::fabs(p.front().y - p.back().y) < 1e-6;
}

geodesy::PlanarPoint lerp(const geodesy::PlanarPoint& p, const geodesy::PlanarPoint& q, double t) {
    return {p.x + t * (q.x - p.x), p.y + t * (q.y - p.y)};
}

Points cutCornersOpen(const Points& p) {
    Points out;
    out.reserve(2 * p.size());
    out.push_back(p.front());
    for (std::size_t i = 0; i + 1 < p.size(); ++i) {
        out.push_back(lerp(p[i], p[i + 1], 0.25));
        out.push_back(lerp(p[i], p[i + 1], 0.75));
    }
    out.push_back(p.back());
    return out;
}

// `p` holds the ring with its closing point; the result is closed again.
Points cutCornersClosed(const Points& p) {
    const std::size_t m = p.size() - 1;
    Points out;
    out.reserve(2 * m + 1);
    for (std::size_t i = 0; i < m; ++i) {
        const geodesy::PlanarPoint& a = p[i];
        const geodesy::PlanarPoint& b = p[(i + 1) % m];
        out.push_back(lerp(a, b, 0.25));
        out.push_back(lerp(a, b, 0.75));
    }
    out.push_back(out.front());
    return out;
}

double distanceToLine(const geodesy::PlanarPoint& p, const geodesy::PlanarPoint& a, const geodesy::PlanarPoint& b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double len = std::hypot(dx, dy);
    if (len < 1e-9) return std::hypot(p.x - a.x, p.y - a.y);
    return std::fabs(dx * (p.y - a.y) - dy * (p.x - a.x)) / len;
}

// Drops points closer than `tolerance` to the line from the last kept point to the following point.
// Returns the input when too few points would remain.
Points simplify(const Points& p, bool closed, double tolerance) {
    const std::size_t n = p.size();
    if (n < 4) return p;
    Points out;
    out.reserve(n);
    std::size_t firstCandidate = 1;
    if (!closed) {
        out.push_back(p.front());
    } else {
        firstCandidate = 0;
    }
    for (std::size_t j = firstCandidate; j + 1 < n; ++j) {
        // Before any point of a ring is kept, the previous point is the ring's last distinct point:
        // the closing point repeats the candidate itself and would make every first point look redundant.
        const geodesy::PlanarPoint& prev = !out.empty() ? out.back() : p[n - 2];
        if (distanceToLine(p[j], prev, p[j + 1]) >= tolerance) out.push_back(p[j]);
    }
    if (!closed) {
        out.push_back(p.back());
        if (out.size() < 2) return p;
    } else {
        if (!out.empty()) out.push_back(out.front());
        if (out.size() < 4) return p;
    }
    return out;
}

}  // namespace

void smoothContours(std::vector<ContourLine>& contours, int passes, double tolerance) {
    for (auto& line : contours) {
        Points& pts = line.points;
        if (pts.size() < 3) continue;
        const bool closed = isClosed(pts);
        // A ring needs three distinct corners to be cut around; a shorter one keeps its shape.
        if (closed && pts.size() < 4) continue;
        for (int pass = 0; pass < passes; ++pass) pts = closed ? cutCornersClosed(pts) : cutCornersOpen(pts);
        pts = simplify(pts, closed, tolerance);
    }
}

}  // namespace terrain
