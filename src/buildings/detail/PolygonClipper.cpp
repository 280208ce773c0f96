#include "buildings/detail/PolygonClipper.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

namespace buildings::detail {

namespace {

struct Node {
    int index = 0;  // corner index in the rings taken one after another
    double x = 0.0, y = 0.0;
    int prev = -1, next = -1;
    bool removed = false;
};

// Twice the signed area of (p, q, r): positive when they turn anticlockwise.
double turn(const Node& p, const Node& q, const Node& r) {
    return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x);
}
bool same(const Node& a, const Node& b) { return a.x == b.x && a.y == b.y; }

// Whether p lies inside or on the triangle (a, b, c), of either winding.
bool inTriangle(double ax, double ay, double bx, double by, double cx, double cy, double px, double py) {
    const double d1 = (bx - ax) * (py - ay) - (by - ay) * (px - ax);
    const double d2 = (cx - bx) * (py - by) - (cy - by) * (px - bx);
    const double d3 = (ax - cx) * (py - cy) - (ay - cy) * (px - cx);
    return !((d1 < 0 || d2 < 0 || d3 < 0) && (d1 > 0 || d2 > 0 || d3 > 0));
}

int sign(double v) { return (v > 0) - (v < 0); }

// q on the segment p-r, given that the three are collinear.
bool onSegment(const Node& p, const Node& q, const Node& r) {
    return q.x <= std::max(p.x, r.x) && q.x >= std::min(p.x, r.x) && q.y <= std::max(p.y, r.y) &&
           q.y >= std::min(p.y, r.y);
}

bool segmentsMeet(const Node& p1, const Node& q1, const Node& p2, const Node& q2) {
    const int o1 = sign(turn(p1, q1, p2)), o2 = sign(turn(p1, q1, q2));
    const int o3 = sign(turn(p2, q2, p1)), o4 = sign(turn(p2, q2, q1));
    if (o1 != o2 && o3 != o4) return true;
    return (o1 == 0 && onSegment(p1, p2, q1)) || (o2 == 0 && onSegment(p1, q2, q1)) ||
           (o3 == 0 && onSegment(p2, p1, q2)) || (o4 == 0 && onSegment(p2, q1, q2));
}

class Clipper {
public:
    explicit Clipper(long long limit) : limit_(limit) {}

    bool run(const std::vector<std::vector<Point2>>& rings, std::vector<Triangle>& out) {
        int base = 0;
        const int outer = link(rings[0], base, true);
        if (outer < 0) return false;
        std::vector<int> holes;
        for (std::size_t k = 1; k < rings.size(); ++k) {
            base += static_cast<int>(rings[k - 1].size());
            if (const int h = link(rings[k], base, false); h >= 0) holes.push_back(leftmost(h));
        }
        std::sort(holes.begin(), holes.end(), [&](int a, int b) {
            return nodes_[a].x < nodes_[b].x || (nodes_[a].x == nodes_[b].x && nodes_[a].y < nodes_[b].y);
        });
        int start = outer;
        for (const int h : holes) {
            const int bridge = findBridge(h, start);
            if (bridge < 0) continue;  // a hole outside the outline covers nothing of it
            split(bridge, h);
            start = bridge;
            if (!spend(0)) return false;
        }
        start = filter(start);
        if (start < 0) return false;
        buildGrid();
        // A bound reached anywhere (a bridge not found included) fails the whole face.
        if (!clipAll(start) || work_ > limit_) return false;
        out = expand();
        return true;
    }

private:
    bool spend(long long steps) {
        work_ += steps;
        return work_ <= limit_;
    }

    int newNode(int index, double x, double y) {
        Node n;
        n.index = index;
        n.x = x;
        n.y = y;
        nodes_.push_back(n);
        between_.emplace_back();
        return static_cast<int>(nodes_.size()) - 1;
    }

    // A ring as a circular list in the wanted winding, repeated points left out; -1 when fewer than 3 remain.
    int link(const std::vector<Point2>& ring, int base, bool anticlockwise) {
        const int n = static_cast<int>(ring.size());
        const bool forward = (signedArea2(ring) > 0.0) == anticlockwise;
        int first = -1, last = -1, count = 0;
        for (int k = 0; k < n; ++k) {
            const int i = forward ? k : n - 1 - k;
            const Point2& p = ring[static_cast<std::size_t>(i)];
            if (last >= 0 && nodes_[last].x == p.x && nodes_[last].y == p.y) continue;
            const int node = newNode(base + i, p.x, p.y);
            if (last >= 0) {
                nodes_[last].next = node;
                nodes_[node].prev = last;
            } else {
                first = node;
            }
            last = node;
            ++count;
        }
        if (count > 1 && same(nodes_[first], nodes_[last])) {
            nodes_[last].removed = true;
            last = nodes_[last].prev;
            --count;
        }
        if (count < 3) {
            for (int k = first; k >= 0 && k < static_cast<int>(nodes_.size()); ++k) nodes_[k].removed = true;
            return -1;
        }
        nodes_[last].next = first;
        nodes_[first].prev = last;
        return first;
    }

    int leftmost(int start) {
        int p = start, best = start;
        do {
            if (nodes_[p].x < nodes_[best].x || (nodes_[p].x == nodes_[best].x && nodes_[p].y < nodes_[best].y))
                best = p;
            p = nodes_[p].next;
        } while (p != start);
        return best;
    }

    // Whether the diagonal from a towards b leaves a into the polygon.
    bool locallyInside(int a, int b) const {
        const Node& n = nodes_[a];
        const Node& prev = nodes_[n.prev];
        const Node& next = nodes_[n.next];
        const Node& to = nodes_[b];
        if (turn(prev, n, next) >= 0) return turn(n, next, to) >= 0 && turn(n, to, prev) >= 0;
        return turn(n, next, to) >= 0 || turn(n, to, prev) >= 0;
    }

    // The outline's vertex a hole's leftmost vertex h can be joined to: the edge hit first by a ray going left
    // from h, then the vertex at the smallest angle among those that could hide that edge's end.
    int findBridge(int h, int start) {
        const double hx = nodes_[h].x, hy = nodes_[h].y;
        double qx = -std::numeric_limits<double>::infinity();
        int m = -1;
        int p = start;
        do {
            const Node& a = nodes_[p];
            const Node& b = nodes_[a.next];
            if (hy <= a.y && hy >= b.y && b.y != a.y) {
                const double x = a.x + (hy - a.y) * (b.x - a.x) / (b.y - a.y);
                if (x <= hx && x > qx) {
                    qx = x;
                    m = a.x < b.x ? p : a.next;
                    if (x == hx) return m;  // the hole touches the outline there
                }
            }
            p = a.next;
            if (!spend(1)) return -1;
        } while (p != start);
        if (m < 0) return -1;
        const int stop = m;
        const double mx = nodes_[m].x, my = nodes_[m].y;
        double tanMin = std::numeric_limits<double>::infinity();
        p = m;
        do {
            const Node& n = nodes_[p];
            if (hx >= n.x && n.x >= mx && hx != n.x && inTriangle(hx, hy, qx, hy, mx, my, n.x, n.y)) {
                const double t = std::abs(hy - n.y) / (hx - n.x);
                if (locallyInside(p, h) && (t < tanMin || (t == tanMin && n.x > nodes_[m].x))) {
                    m = p;
                    tanMin = t;
                }
            }
            p = n.next;
            if (!spend(1)) return -1;
        } while (p != stop);
        return m;
    }

    // Joins a to b by a diagonal walked both ways: two loops, or one when b is on a hole. Returns b's copy.
    int split(int a, int b) {
        const int a2 = newNode(nodes_[a].index, nodes_[a].x, nodes_[a].y);
        const int b2 = newNode(nodes_[b].index, nodes_[b].x, nodes_[b].y);
        const int an = nodes_[a].next, bp = nodes_[b].prev;
        between_[static_cast<std::size_t>(a2)] = std::move(between_[static_cast<std::size_t>(a)]);
        between_[static_cast<std::size_t>(a)].clear();
        nodes_[a].next = b;
        nodes_[b].prev = a;
        nodes_[a2].next = an;
        nodes_[an].prev = a2;
        nodes_[b2].next = a2;
        nodes_[a2].prev = b2;
        nodes_[bp].next = b2;
        nodes_[b2].prev = bp;
        if (!cells_.empty()) {
            place(a2);
            place(b2);
        }
        return b2;
    }

    void remove(int p) {
        ++removals_;
        Node& n = nodes_[p];
        nodes_[n.prev].next = n.next;
        nodes_[n.next].prev = n.prev;
        n.removed = true;
    }

    void buildGrid() {
        minX_ = minY_ = std::numeric_limits<double>::infinity();
        double maxX = -minX_, maxY = -minY_;
        std::size_t live = 0;
        for (const Node& n : nodes_) {
            if (n.removed) continue;
            ++live;
            minX_ = std::min(minX_, n.x);
            minY_ = std::min(minY_, n.y);
            maxX = std::max(maxX, n.x);
            maxY = std::max(maxY, n.y);
        }
        side_ = std::clamp(static_cast<int>(std::sqrt(static_cast<double>(live))), 1, 1024);
        cellW_ = std::max((maxX - minX_) / side_, 1e-12);
        cellH_ = std::max((maxY - minY_) / side_, 1e-12);
        cells_.assign(static_cast<std::size_t>(side_) * static_cast<std::size_t>(side_), {});
        for (int k = 0; k < static_cast<int>(nodes_.size()); ++k)
            if (!nodes_[k].removed) place(k);
    }

    int cellOf(double v, double origin, double size) const {
        const double c = std::floor((v - origin) / size);
        return std::clamp(std::isfinite(c) ? static_cast<int>(std::clamp(c, -1.0, 1e9)) : 0, 0, side_ - 1);
    }

    void place(int k) {
        const int cx = cellOf(nodes_[k].x, minX_, cellW_), cy = cellOf(nodes_[k].y, minY_, cellH_);
        cells_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(side_) + static_cast<std::size_t>(cx)].push_back(
            k);
    }

    // An ear: a corner turning anticlockwise whose triangle holds no other vertex (copies of its own corners,
    // where a bridge meets them, aside).
    bool isEar(int ear) {
        const Node& a = nodes_[nodes_[ear].prev];
        const Node& b = nodes_[ear];
        const Node& c = nodes_[nodes_[ear].next];
        if (turn(a, b, c) <= 0) return false;
        const int x0 = cellOf(std::min({a.x, b.x, c.x}), minX_, cellW_);
        const int x1 = cellOf(std::max({a.x, b.x, c.x}), minX_, cellW_);
        const int y0 = cellOf(std::min({a.y, b.y, c.y}), minY_, cellH_);
        const int y1 = cellOf(std::max({a.y, b.y, c.y}), minY_, cellH_);
        for (int cy = y0; cy <= y1; ++cy)
            for (int cx = x0; cx <= x1; ++cx) {
                auto& cell = cells_[static_cast<std::size_t>(cy) * static_cast<std::size_t>(side_) +
                                    static_cast<std::size_t>(cx)];
                if (!spend(static_cast<long long>(cell.size()) + 1)) return false;
                for (std::size_t k = 0; k < cell.size(); ++k) {
                    const Node& p = nodes_[cell[k]];
                    if (p.removed) {
                        // Clipped corners leave their cell as they are met.
                        cell[k--] = cell.back();
                        cell.pop_back();
                        continue;
                    }
                    if (same(p, a) || same(p, b) || same(p, c)) continue;
                    if (inTriangle(a.x, a.y, b.x, b.y, c.x, c.y, p.x, p.y)) return false;
                }
            }
        return true;
    }

    // A triangle whose first two sides are the loop's edges, with the corners dissolved into them.
    void emit(int a, int b, int c, bool sides = true) {
        std::array<std::vector<int>, 3> on;
        if (sides) {
            on[0] = std::move(between_[static_cast<std::size_t>(a)]);
            on[1] = std::move(between_[static_cast<std::size_t>(b)]);
        }
        between_[static_cast<std::size_t>(a)].clear();
        out_.push_back({nodes_[a].index, nodes_[b].index, nodes_[c].index});
        sides_.push_back(std::move(on));
    }

    // A corner that adds nothing to the loop's shape: a repeat of its neighbour, or a straight or folded-back turn.
    bool idle(int p) const {
        const Node& n = nodes_[p];
        return same(n, nodes_[n.next]) || same(n, nodes_[n.prev]) || turn(nodes_[n.prev], n, nodes_[n.next]) == 0;
    }

    // Takes an idle corner out of the loop. One lying on the straight line between its neighbours is kept on that
    // edge, to be put back into the triangle that edge ends in: the face next to this one has that vertex too.
    void dissolve(int p) {
        const Node& n = nodes_[p];
        const Node& prev = nodes_[n.prev];
        const Node& next = nodes_[n.next];
        auto& onPrev = between_[static_cast<std::size_t>(n.prev)];
        auto& onSelf = between_[static_cast<std::size_t>(p)];
        const bool straight =
            !same(n, prev) && !same(n, next) && (n.x - prev.x) * (next.x - n.x) + (n.y - prev.y) * (next.y - n.y) > 0;
        if (straight) onPrev.push_back(n.index);
        if (straight || same(n, prev) || same(n, next)) onPrev.insert(onPrev.end(), onSelf.begin(), onSelf.end());
        onSelf.clear();
        remove(p);
    }

    // Dissolves idle corners around p until none is left there; a live corner near p, or -1 when fewer than 3
    // remain.
    int settle(int p) {
        while (nodes_[p].next != nodes_[p].prev) {
            if (idle(p)) {
                const int prev = nodes_[p].prev;
                dissolve(p);
                p = prev;
            } else if (idle(nodes_[p].next)) {
                dissolve(nodes_[p].next);
            } else {
                return p;
            }
            if (!spend(1)) return -1;
        }
        return -1;
    }

    // Dissolves every idle corner of the loop; a live corner, or -1 when fewer than 3 remain.
    int filter(int start) {
        int p = start, end = start;
        do {
            const long long before = removals_;
            p = settle(p);
            if (p < 0) return -1;
            if (removals_ != before) end = p;  // a changed loop is gone round once more from here
            p = nodes_[p].next;
            if (!spend(1)) return -1;
        } while (p != end);
        return p;
    }

    // Two edges crossing next to each other: the corner between them goes as one triangle.
    int cureLocal(int start) {
        int p = start;
        do {
            const int a = nodes_[p].prev, pn = nodes_[p].next, b = nodes_[pn].next;
            if (!same(nodes_[a], nodes_[b]) && segmentsMeet(nodes_[a], nodes_[p], nodes_[pn], nodes_[b]) &&
                locallyInside(a, b) && locallyInside(b, a)) {
                emit(a, p, b, false);
                remove(p);
                remove(pn);
                p = start = b;
            }
            p = nodes_[p].next;
            if (!spend(1)) return -1;
        } while (p != start && nodes_[p].next != nodes_[p].prev);
        return filter(p);
    }

    bool crossesPolygon(int a, int b) {
        int p = a;
        do {
            const int q = nodes_[p].next;
            const int pi = nodes_[p].index, qi = nodes_[q].index, ai = nodes_[a].index, bi = nodes_[b].index;
            if (pi != ai && qi != ai && pi != bi && qi != bi &&
                segmentsMeet(nodes_[p], nodes_[q], nodes_[a], nodes_[b]))
                return true;
            p = q;
            if (!spend(1)) return true;
        } while (p != a);
        return false;
    }

    bool middleInside(int a, int b) {
        const double mx = (nodes_[a].x + nodes_[b].x) / 2, my = (nodes_[a].y + nodes_[b].y) / 2;
        bool inside = false;
        int p = a;
        do {
            const Node& n = nodes_[p];
            const Node& q = nodes_[n.next];
            if (((n.y > my) != (q.y > my)) && q.y != n.y && mx < (q.x - n.x) * (my - n.y) / (q.y - n.y) + n.x)
                inside = !inside;
            p = n.next;
            if (!spend(1)) return false;
        } while (p != a);
        return inside;
    }

    bool validDiagonal(int a, int b) {
        const Node& na = nodes_[a];
        const Node& nb = nodes_[b];
        if (nodes_[na.next].index == nb.index || nodes_[na.prev].index == nb.index || na.index == nb.index)
            return false;
        return locallyInside(a, b) && locallyInside(b, a) && !crossesPolygon(a, b) && middleInside(a, b);
    }

    // A diagonal that cuts the loop in two, when clipping found no ear.
    bool findSplit(int start, int& a, int& b) {
        a = start;
        do {
            b = nodes_[nodes_[a].next].next;
            while (b != nodes_[a].prev) {
                if (!spend(1)) return false;
                if (validDiagonal(a, b)) return true;
                b = nodes_[b].next;
            }
            a = nodes_[a].next;
        } while (a != start);
        return false;
    }

    // Clips every loop: ears first; when a whole round finds none, repeated and collinear corners go, then local
    // crossings, then the loop is cut in two. False when even that fails or the work bound is reached.
    bool clipAll(int start) {
        std::vector<int> loops{start};
        while (!loops.empty()) {
            int ear = loops.back();
            loops.pop_back();
            int stop = ear, pass = 0;
            while (ear >= 0 && nodes_[ear].prev != nodes_[ear].next) {
                if (!spend(1)) return false;
                const int prev = nodes_[ear].prev, next = nodes_[ear].next;
                if (isEar(ear)) {
                    emit(prev, ear, next);
                    remove(ear);
                    // Corners the clip made straight go at once, so that no ear test meets them.
                    ear = settle(next);
                    if (ear >= 0) ear = settle(nodes_[ear].prev);
                    if (ear >= 0) ear = stop = nodes_[ear].next;
                    continue;
                }
                if (work_ > limit_) return false;
                ear = next;
                if (ear != stop) continue;
                if (pass == 0) {
                    ear = stop = filter(ear);
                    pass = 1;
                } else if (pass == 1) {
                    ear = stop = cureLocal(ear);
                    pass = 2;
                } else {
                    int a = 0, b = 0;
                    if (!findSplit(ear, a, b)) return false;
                    const int c = split(a, b);
                    loops.push_back(a);
                    loops.push_back(c);
                    break;
                }
                if (work_ > limit_) return false;
            }
        }
        return true;
    }

    // The triangles with the dissolved corners put back: a triangle with corners on a side becomes a fan from
    // the corner opposite that side, until no side holds any.
    std::vector<Triangle> expand() {
        struct Piece {
            int a, b, c;
            std::array<std::vector<int>, 3> on;  // corners on a-b, b-c, c-a, in order
        };
        std::vector<Triangle> result;
        std::vector<Piece> work;
        for (std::size_t k = 0; k < out_.size(); ++k)
            work.push_back({out_[k][0], out_[k][1], out_[k][2], std::move(sides_[k])});
        while (!work.empty()) {
            Piece w = std::move(work.back());
            work.pop_back();
            if (w.on[0].empty() && w.on[1].empty() && w.on[2].empty()) {
                result.push_back({w.a, w.b, w.c});
                continue;
            }
            if (w.on[0].empty()) {
                // Turn the piece so that its first side holds corners.
                work.push_back(w.on[1].empty() ? Piece{w.c, w.a, w.b, {std::move(w.on[2]), {}, {}}}
                                               : Piece{w.b, w.c, w.a, {std::move(w.on[1]), std::move(w.on[2]), {}}});
                continue;
            }
            std::vector<int> line{w.a};
            line.insert(line.end(), w.on[0].begin(), w.on[0].end());
            line.push_back(w.b);
            for (std::size_t i = 0; i + 1 < line.size(); ++i) {
                Piece piece{line[i], line[i + 1], w.c, {}};
                if (i + 2 == line.size()) piece.on[1] = std::move(w.on[1]);
                if (i == 0) piece.on[2] = std::move(w.on[2]);
                work.push_back(std::move(piece));
            }
        }
        return result;
    }

    long long limit_;
    long long work_ = 0;
    long long removals_ = 0;
    std::vector<Node> nodes_;
    std::vector<Triangle> out_;
    std::vector<std::array<std::vector<int>, 3>> sides_;  // corners dissolved into each triangle's sides
    std::vector<std::vector<int>> between_;               // corners dissolved into the edge from each node
    double minX_ = 0, minY_ = 0, cellW_ = 1, cellH_ = 1;
    int side_ = 1;
    std::vector<std::vector<int>> cells_;
};

}  // namespace

std::vector<Triangle> clipPolygon(const std::vector<std::vector<Point2>>& rings, long long workLimit) {
    std::vector<Triangle> out;
    if (rings.empty() || rings[0].size() < 3) return out;
    Clipper clipper(workLimit);
    if (!clipper.run(rings, out)) out.clear();
    return out;
}

long long clipWorkLimit(std::size_t n) {
    const double steps = 64.0 * static_cast<double>(n) * (std::log2(static_cast<double>(n) + 2.0) + 1.0);
    return static_cast<long long>(steps) + 200000;
}

}  // namespace buildings::detail
