#include "buildings/detail/FaceTriangulation.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

namespace buildings::detail {

namespace {

constexpr double kNormalLength = 1e-6;
constexpr double kPlanarity = 0.05;
constexpr double kTurn = 1e-9;
constexpr double kInCircle = 1e-9;

Point3 sub(const Point3& a, const Point3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Point3 cross(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const Point3& a, const Point3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
double cross2(const Point2& o, const Point2& a, const Point2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// 2D points with the axis of the normal's largest component dropped.
std::vector<Point2> dropAxis(const std::vector<Point3>& points, const Point3& n) {
    const double ax = std::abs(n.x), ay = std::abs(n.y), az = std::abs(n.z);
    std::vector<Point2> out;
    out.reserve(points.size());
    for (const Point3& p : points) {
        if (az >= ax && az >= ay) out.push_back({p.x, p.y});
        else if (ax < ay) out.push_back({p.x, p.z});
        else out.push_back({p.y, p.z});
    }
    return out;
}

// Whether p lies inside or on the anticlockwise triangle (a, b, c).
bool inTriangle(const Point2& p, const Point2& a, const Point2& b, const Point2& c) {
    return cross2(a, b, p) >= 0.0 && cross2(b, c, p) >= 0.0 && cross2(c, a, p) >= 0.0;
}

// The largest cosine of the triangle's three inner angles (its smallest angle).
double largestCosine(const Point2& a, const Point2& b, const Point2& c) {
    auto cosAt = [](const Point2& o, const Point2& u, const Point2& v) {
        const double ux = u.x - o.x, uy = u.y - o.y, vx = v.x - o.x, vy = v.y - o.y;
        const double len = std::hypot(ux, uy) * std::hypot(vx, vy);
        return len > 0.0 ? (ux * vx + uy * vy) / len : 1.0;
    };
    return std::max({cosAt(a, b, c), cosAt(b, c, a), cosAt(c, a, b)});
}

void orientAnticlockwise(Triangle& t, const std::vector<Point2>& p) {
    if (cross2(p[t[0]], p[t[1]], p[t[2]]) < 0.0) std::swap(t[1], t[2]);
}

// Positive when d lies inside the circumcircle of the anticlockwise triangle (a, b, c).
double inCircle(const Point2& a, const Point2& b, const Point2& c, const Point2& d) {
    const double adx = a.x - d.x, ady = a.y - d.y, bdx = b.x - d.x, bdy = b.y - d.y, cdx = c.x - d.x, cdy = c.y - d.y;
    const double ad = adx * adx + ady * ady, bd = bdx * bdx + bdy * bdy, cd = cdx * cdx + cdy * cdy;
    return adx * (bdy * cd - bd * cdy) - ady * (bdx * cd - bd * cdx) + ad * (bdx * cdy - bdy * cdx);
}

}  // namespace

FaceKind classifyFace(const std::vector<Point3>& p) {
    const std::size_t n = p.size();
    Point3 normal;
    bool found = false;
    for (std::size_t i = 1; i < n && !found; ++i)
        for (std::size_t j = i + 1; j < n && !found; ++j) {
            const Point3 c = cross(sub(p[i], p[0]), sub(p[j], p[0]));
            const double len = std::sqrt(dot(c, c));
            if (len > kNormalLength) {
                normal = {c.x / len, c.y / len, c.z / len};
                found = true;
            }
        }
    if (!found) return FaceKind::NonPlanar;
    for (std::size_t k = 1; k < n; ++k)
        if (std::abs(dot(sub(p[k], p[0]), normal)) > kPlanarity) return FaceKind::NonPlanar;
    const std::vector<Point2> q = dropAxis(p, normal);
    int sign = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double turn = cross2(q[i], q[(i + 1) % n], q[(i + 2) % n]);
        if (std::abs(turn) <= kTurn) continue;
        const int s = turn > 0.0 ? 1 : -1;
        if (sign == 0) sign = s;
        else if (s != sign) return FaceKind::PlanarConcave;
    }
    return FaceKind::PlanarConvex;
}

Point3 newellNormal(const std::vector<Point3>& p) {
    Point3 newell;
    for (std::size_t i = 0, n = p.size(); i < n; ++i) {
        const Point3& a = p[i];
        const Point3& b = p[(i + 1) % n];
        newell.x += (a.y - b.y) * (a.z + b.z);
        newell.y += (a.z - b.z) * (a.x + b.x);
        newell.z += (a.x - b.x) * (a.y + b.y);
    }
    return newell;
}

std::vector<Point2> projectFace(const std::vector<Point3>& p) { return dropAxis(p, newellNormal(p)); }

std::vector<std::vector<Point2>> projectRings(const std::vector<std::vector<Point3>>& rings) {
    std::vector<std::vector<Point2>> out;
    if (rings.empty()) return out;
    const Point3 normal = newellNormal(rings[0]);
    for (const auto& ring : rings) out.push_back(dropAxis(ring, normal));
    return out;
}

double signedArea2(const std::vector<Point2>& p) {
    double s = 0.0;
    for (std::size_t i = 0, n = p.size(); i < n; ++i) {
        const Point2& a = p[i];
        const Point2& b = p[(i + 1) % n];
        s += a.x * b.y - b.x * a.y;
    }
    return s;
}

std::vector<Triangle> earClip(const std::vector<Point2>& p) {
    const int n = static_cast<int>(p.size());
    std::vector<int> idx(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) idx[static_cast<std::size_t>(i)] = i;
    if (signedArea2(p) <= 0.0) std::reverse(idx.begin(), idx.end());
    std::vector<Triangle> out;
    int steps = 0;
    while (idx.size() > 3 && steps < 3 * n) {
        ++steps;
        const std::size_t m = idx.size();
        int best = -1;
        double bestCos = 2.0;
        for (std::size_t k = 0; k < m; ++k) {
            const int ip = idx[(k + m - 1) % m], ii = idx[k], iq = idx[(k + 1) % m];
            if (cross2(p[ip], p[ii], p[iq]) <= 0.0) continue;
            bool empty = true;
            for (std::size_t r = 0; r < m && empty; ++r) {
                const int o = idx[r];
                if (o == ip || o == ii || o == iq) continue;
                if (inTriangle(p[o], p[ip], p[ii], p[iq])) empty = false;
            }
            if (!empty) continue;
            const double c = largestCosine(p[ip], p[ii], p[iq]);
            if (c < bestCos) {
                bestCos = c;
                best = static_cast<int>(k);
            }
        }
        if (best < 0) break;
        const auto k = static_cast<std::size_t>(best);
        out.push_back({idx[(k + m - 1) % m], idx[k], idx[(k + 1) % m]});
        idx.erase(idx.begin() + best);
    }
    if (idx.size() > 3) return {};
    if (idx.size() == 3) out.push_back({idx[0], idx[1], idx[2]});
    return out;
}

std::vector<Triangle> fan(int n) {
    std::vector<Triangle> out;
    for (int i = 2; i < n; ++i) out.push_back({0, i - 1, i});
    return out;
}

bool isQuasiFan(const std::vector<Triangle>& triangles) {
    const int t = static_cast<int>(triangles.size());
    if (t <= 4) return false;
    std::map<int, int> degree;
    int most = 0;
    for (const Triangle& tri : triangles)
        for (int v : tri) most = std::max(most, ++degree[v]);
    return most >= t * 6 / 10;
}

void flipEdges(std::vector<Triangle>& triangles, const std::vector<Point2>& p) {
    for (Triangle& t : triangles) orientAnticlockwise(t, p);
    const int limit = 4 * static_cast<int>(triangles.size()) + 8;
    for (int round = 0; round < limit; ++round) {
        std::map<std::pair<int, int>, std::vector<int>> owners;
        for (int t = 0; t < static_cast<int>(triangles.size()); ++t)
            for (int k = 0; k < 3; ++k) {
                const int a = triangles[static_cast<std::size_t>(t)][static_cast<std::size_t>(k)];
                const int b = triangles[static_cast<std::size_t>(t)][static_cast<std::size_t>((k + 1) % 3)];
                owners[{std::min(a, b), std::max(a, b)}].push_back(t);
            }
        bool flipped = false;
        for (const auto& owner : owners) {
            const std::pair<int, int>& edge = owner.first;
            const std::vector<int>& tris = owner.second;
            if (tris.size() != 2) continue;
            const Triangle& t1 = triangles[static_cast<std::size_t>(tris[0])];
            const Triangle& t2 = triangles[static_cast<std::size_t>(tris[1])];
            auto opposite = [&](const Triangle& t) {
                for (int v : t)
                    if (v != edge.first && v != edge.second) return v;
                return -1;
            };
            const int c = opposite(t1), d = opposite(t2);
            if (c < 0 || d < 0 || c == d) continue;
            const int a = edge.first, b = edge.second;
            // Convex quadrilateral: a and b lie strictly on opposite sides of the other diagonal c-d.
            const double sa = cross2(p[c], p[d], p[a]), sb = cross2(p[c], p[d], p[b]);
            if (!((sa > 0.0 && sb < 0.0) || (sa < 0.0 && sb > 0.0))) continue;
            if (inCircle(p[t1[0]], p[t1[1]], p[t1[2]], p[d]) <= kInCircle) continue;
            Triangle n1{c, d, a}, n2{d, c, b};
            orientAnticlockwise(n1, p);
            orientAnticlockwise(n2, p);
            triangles[static_cast<std::size_t>(tris[0])] = n1;
            triangles[static_cast<std::size_t>(tris[1])] = n2;
            flipped = true;
            break;
        }
        if (!flipped) return;
    }
}

}  // namespace buildings::detail
