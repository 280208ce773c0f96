#include "exporter/detail/Delaunay.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <utility>

namespace exporter::detail {

namespace {

struct P {
    double x, y;
};

double orient(const P& a, const P& b, const P& c) { return (b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x); }

// Positive when d lies inside the circle through the anticlockwise a, b, c.
double inCircle(const P& a, const P& b, const P& c, const P& d) {
    const double adx = a.x - d.x, ady = a.y - d.y, bdx = b.x - d.x, bdy = b.y - d.y, cdx = c.x - d.x, cdy = c.y - d.y;
    const double ad = adx * adx + ady * ady, bd = bdx * bdx + bdy * bdy, cd = cdx * cdx + cdy * cdy;
    return adx * (bdy * cd - bd * cdy) - ady * (bdx * cd - bd * cdx) + ad * (bdx * cdy - bdy * cdx);
}

// Incremental insertion with edge flips inside a large enclosing triangle. Triangle t has anticlockwise
// vertices v[t] and, in nb[t][k], the triangle across the edge opposite v[t][k] (-1 for none).
class Triangulation {
public:
    explicit Triangulation(std::vector<P> pts) : p_(std::move(pts)) {}

    std::vector<std::size_t> run(const std::vector<std::uint32_t>& order, std::size_t realCount) {
        const std::uint32_t s = static_cast<std::uint32_t>(realCount);
        v_.push_back({s, s + 1, s + 2});
        nb_.push_back({-1, -1, -1});
        for (std::uint32_t i : order) insert(i);
        std::vector<std::size_t> out;
        for (const auto& t : v_)
            if (t[0] < s && t[1] < s && t[2] < s) out.insert(out.end(), {t[0], t[1], t[2]});
        return out;
    }

private:
    void replaceNeighbour(std::int32_t t, std::int32_t from, std::int32_t to) {
        if (t < 0) return;
        for (auto& n : nb_[static_cast<std::size_t>(t)])
            if (n == from) n = to;
    }

    std::int32_t add(std::array<std::uint32_t, 3> v, std::array<std::int32_t, 3> n) {
        v_.push_back(v);
        nb_.push_back(n);
        return static_cast<std::int32_t>(v_.size() - 1);
    }

    // The triangle holding the point (walking from the last one made), or -1.
    std::int32_t locate(const P& q) {
        std::int32_t t = last_;
        const std::size_t limit = v_.size() + 16;
        for (std::size_t step = 0; step < limit; ++step) {
            const auto& v = v_[static_cast<std::size_t>(t)];
            bool moved = false;
            // Starting from a changing edge keeps the walk from circling on points close to several edges.
            for (int j = 0; j < 3 && !moved; ++j) {
                const int k = static_cast<int>((step + static_cast<std::size_t>(j)) % 3);
                if (orient(p_[v[(k + 1) % 3]], p_[v[(k + 2) % 3]], q) < 0) {
                    const std::int32_t next = nb_[static_cast<std::size_t>(t)][static_cast<std::size_t>(k)];
                    if (next < 0) return -1;
                    t = next;
                    moved = true;
                }
            }
            if (!moved) return t;
        }
        for (std::size_t i = 0; i < v_.size(); ++i) {
            const auto& v = v_[i];
            if (orient(p_[v[0]], p_[v[1]], q) >= 0 && orient(p_[v[1]], p_[v[2]], q) >= 0 &&
                orient(p_[v[2]], p_[v[0]], q) >= 0)
                return static_cast<std::int32_t>(i);
        }
        return -1;
    }

    void insert(std::uint32_t i) {
        const P& q = p_[i];
        const std::int32_t t = locate(q);
        if (t < 0) return;
        const auto v = v_[static_cast<std::size_t>(t)];
        int onEdge = -1, zeros = 0;
        for (int k = 0; k < 3; ++k)
            if (orient(p_[v[(k + 1) % 3]], p_[v[(k + 2) % 3]], q) == 0) {
                onEdge = k;
                ++zeros;
            }
        if (zeros >= 2) return;  // on a vertex: the same point again
        if (onEdge >= 0) splitEdge(t, onEdge, i);
        else splitTriangle(t, i);
        legalize(i);
    }

    void splitTriangle(std::int32_t t, std::uint32_t q) {
        const auto [a, b, c] = v_[static_cast<std::size_t>(t)];
        const auto [nA, nB, nC] = nb_[static_cast<std::size_t>(t)];
        const std::int32_t t1 = static_cast<std::int32_t>(v_.size()), t2 = t1 + 1;
        v_[static_cast<std::size_t>(t)] = {a, b, q};
        nb_[static_cast<std::size_t>(t)] = {t1, t2, nC};
        add({b, c, q}, {t2, t, nA});
        add({c, a, q}, {t, t1, nB});
        replaceNeighbour(nA, t, t1);
        replaceNeighbour(nB, t, t2);
        pending_ = {{t, 2}, {t1, 2}, {t2, 2}};
    }

    void splitEdge(std::int32_t t, int k, std::uint32_t q) {
        const auto tv = v_[static_cast<std::size_t>(t)];
        const auto tn = nb_[static_cast<std::size_t>(t)];
        const std::uint32_t a = tv[static_cast<std::size_t>(k)], b = tv[static_cast<std::size_t>((k + 1) % 3)],
                            c = tv[static_cast<std::size_t>((k + 2) % 3)];
        const std::int32_t tB = tn[static_cast<std::size_t>((k + 1) % 3)],
                           tC = tn[static_cast<std::size_t>((k + 2) % 3)];
        const std::int32_t u = tn[static_cast<std::size_t>(k)];
        if (u < 0) return;  // on the enclosing triangle's edge: cannot happen for points inside it
        const auto uv = v_[static_cast<std::size_t>(u)];
        const auto un = nb_[static_cast<std::size_t>(u)];
        int m = 0;
        while (m < 3 && un[static_cast<std::size_t>(m)] != t) ++m;
        const std::uint32_t d = uv[static_cast<std::size_t>(m)];
        const std::int32_t uC = un[static_cast<std::size_t>((m + 1) % 3)],
                           uB = un[static_cast<std::size_t>((m + 2) % 3)];
        const std::int32_t t1 = static_cast<std::int32_t>(v_.size()), t3 = t1 + 1;
        v_[static_cast<std::size_t>(t)] = {a, b, q};
        nb_[static_cast<std::size_t>(t)] = {t3, t1, tC};
        add({a, q, c}, {u, tB, t});
        v_[static_cast<std::size_t>(u)] = {d, c, q};
        nb_[static_cast<std::size_t>(u)] = {t1, t3, uB};
        add({d, q, b}, {t, uC, u});
        replaceNeighbour(tB, t, t1);
        replaceNeighbour(uC, u, t3);
        pending_ = {{t, 2}, {t1, 1}, {u, 2}, {t3, 1}};
    }

    // Flips every edge opposite the new point that is not locally Delaunay, spreading outwards.
    void legalize(std::uint32_t q) {
        std::vector<std::int32_t> stack;
        for (const auto& [t, k] : pending_) stack.push_back(t);
        pending_.clear();
        while (!stack.empty()) {
            const std::int32_t t = stack.back();
            stack.pop_back();
            auto& tv = v_[static_cast<std::size_t>(t)];
            int k = 0;
            while (k < 3 && tv[static_cast<std::size_t>(k)] != q) ++k;
            if (k == 3) continue;
            const std::uint32_t a = tv[static_cast<std::size_t>((k + 1) % 3)],
                                b = tv[static_cast<std::size_t>((k + 2) % 3)];
            const auto tn = nb_[static_cast<std::size_t>(t)];
            const std::int32_t u = tn[static_cast<std::size_t>(k)];
            if (u < 0) continue;
            const auto uv = v_[static_cast<std::size_t>(u)];
            const auto un = nb_[static_cast<std::size_t>(u)];
            int m = 0;
            while (m < 3 && un[static_cast<std::size_t>(m)] != t) ++m;
            if (m == 3) continue;
            const std::uint32_t d = uv[static_cast<std::size_t>(m)];
            if (!(inCircle(p_[q], p_[a], p_[b], p_[d]) > 0)) continue;
            const std::int32_t tA = tn[static_cast<std::size_t>((k + 2) % 3)],
                               tB = tn[static_cast<std::size_t>((k + 1) % 3)];
            const std::int32_t uA = un[static_cast<std::size_t>((m + 1) % 3)],
                               uB = un[static_cast<std::size_t>((m + 2) % 3)];
            v_[static_cast<std::size_t>(t)] = {q, a, d};
            nb_[static_cast<std::size_t>(t)] = {uA, u, tA};
            v_[static_cast<std::size_t>(u)] = {q, d, b};
            nb_[static_cast<std::size_t>(u)] = {uB, tB, t};
            replaceNeighbour(uA, u, t);
            replaceNeighbour(tB, t, u);
            stack.push_back(t);
            stack.push_back(u);
        }
        last_ = static_cast<std::int32_t>(v_.size() - 1);
    }

    std::vector<P> p_;
    std::vector<std::array<std::uint32_t, 3>> v_;
    std::vector<std::array<std::int32_t, 3>> nb_;
    std::vector<std::pair<std::int32_t, int>> pending_;
    std::int32_t last_ = 0;
};

}  // namespace

std::vector<std::size_t> delaunayTriangles(const std::vector<host::HostPoint2>& points) {
    if (points.size() < 3) return {};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (const auto& q : points) {
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) continue;
        minX = std::min(minX, q.x), maxX = std::max(maxX, q.x);
        minY = std::min(minY, q.y), maxY = std::max(maxY, q.y);
    }
    if (!(maxX >= minX)) return {};
    // Coordinates relative to the corner keep the predicates precise far from the origin.
    std::vector<P> pts;
    pts.reserve(points.size() + 3);
    for (const auto& q : points) pts.push_back({q.x - minX, q.y - minY});
    const double w = maxX - minX, h = maxY - minY, size = std::max(w, h) + 1.0;
    const double cx = w / 2, cy = h / 2;
    pts.push_back({cx - 200 * size, cy - 100 * size});
    pts.push_back({cx + 200 * size, cy - 100 * size});
    pts.push_back({cx, cy + 200 * size});

    // Inserted along rows of cells, every other row backwards, so that each walk starts near its point.
    const double cell = std::max(size / std::sqrt(static_cast<double>(points.size())), 1e-9);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> keyed;
    keyed.reserve(points.size());
    const auto columns = static_cast<std::uint64_t>(std::ceil(size / cell)) + 1;
    for (std::uint32_t i = 0; i < points.size(); ++i) {
        const P& q = pts[i];
        if (!std::isfinite(q.x) || !std::isfinite(q.y)) continue;
        const auto row = static_cast<std::uint64_t>(q.y / cell);
        auto col = static_cast<std::uint64_t>(q.x / cell);
        if (row % 2 == 1) col = columns - col;
        keyed.push_back({row * (columns + 1) + col, i});
    }
    std::sort(keyed.begin(), keyed.end());
    std::vector<std::uint32_t> order;
    order.reserve(keyed.size());
    for (const auto& [key, i] : keyed) order.push_back(i);
    return Triangulation(std::move(pts)).run(order, points.size());
}

}  // namespace exporter::detail
