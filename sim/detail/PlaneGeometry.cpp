#include "detail/PlaneGeometry.h"

#include <algorithm>
#include <cmath>

namespace sim::detail {

namespace {

double cross(Point o, Point a, Point b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }

// Edges that cross each other away from their ends (shared corners and collinear edges do not cross).
bool edgesCross(Point a, Point b, Point c, Point d) {
    const double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
    const double la = std::hypot(b.x - a.x, b.y - a.y), lc = std::hypot(d.x - c.x, d.y - c.y);
    const double e1 = 1e-6 * lc, e2 = 1e-6 * la;
    return ((d1 > e1 && d2 < -e1) || (d1 < -e1 && d2 > e1)) && ((d3 > e2 && d4 < -e2) || (d3 < -e2 && d4 > e2));
}

struct Box {
    double minX, minY, maxX, maxY;
};

Box boxOf(const Ring& ring) {
    Box b{ring[0].x, ring[0].y, ring[0].x, ring[0].y};
    for (const Point& p : ring) {
        b.minX = std::min(b.minX, p.x), b.maxX = std::max(b.maxX, p.x);
        b.minY = std::min(b.minY, p.y), b.maxY = std::max(b.maxY, p.y);
    }
    return b;
}

// Inside and clear of the boundary: a corner lying on a shared edge is not inside.
bool strictlyInside(const Ring& ring, Point p) { return contains(ring, p) && distanceToRing(ring, p) > 0.05; }

Point centroidOf(const Ring& ring) {
    double cx = 0, cy = 0, a = 0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point& p = ring[i];
        const Point& q = ring[(i + 1) % ring.size()];
        const double c = p.x * q.y - q.x * p.y;
        a += c, cx += (p.x + q.x) * c, cy += (p.y + q.y) * c;
    }
    if (std::fabs(a) < 1e-9) return ring[0];
    return {cx / (3 * a), cy / (3 * a)};
}

}  // namespace

double signedArea2(const Ring& ring) {
    double s = 0.0;
    for (std::size_t i = 0; i < ring.size(); ++i) {
        const Point& p = ring[i];
        const Point& q = ring[(i + 1) % ring.size()];
        s += p.x * q.y - q.x * p.y;
    }
    return s;
}

double area(const Ring& ring) { return std::fabs(signedArea2(ring)) / 2.0; }

Ring oriented(Ring ring, bool clockwise) {
    if ((signedArea2(ring) < 0) != clockwise) std::reverse(ring.begin(), ring.end());
    return ring;
}

bool contains(const Ring& ring, Point p) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const Point& a = ring[i];
        const Point& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

double distanceToSegment(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

double distanceToRing(const Ring& ring, Point p) {
    double best = 1e300;
    for (std::size_t i = 0; i < ring.size(); ++i)
        best = std::min(best, distanceToSegment(p, ring[i], ring[(i + 1) % ring.size()]));
    return best;
}

double distanceToPolyline(const std::vector<Point>& line, Point p) {
    double best = 1e300;
    for (std::size_t i = 0; i + 1 < line.size(); ++i) best = std::min(best, distanceToSegment(p, line[i], line[i + 1]));
    return best;
}

bool overlaps(const Ring& a, const Ring& b) {
    const Box ba = boxOf(a), bb = boxOf(b);
    if (ba.maxX <= bb.minX || bb.maxX <= ba.minX || ba.maxY <= bb.minY || bb.maxY <= ba.minY) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
            if (edgesCross(a[i], a[(i + 1) % a.size()], b[j], b[(j + 1) % b.size()])) return true;
    for (const Point& p : a)
        if (strictlyInside(b, p)) return true;
    for (const Point& p : b)
        if (strictlyInside(a, p)) return true;
    return strictlyInside(b, centroidOf(a)) || strictlyInside(a, centroidOf(b));
}

bool nearPolyline(const Ring& ring, const std::vector<Point>& line, double clearance) {
    const Box box = boxOf(ring);
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const Point& a = line[i];
        const Point& b = line[i + 1];
        if (std::max(a.x, b.x) < box.minX - clearance || std::min(a.x, b.x) > box.maxX + clearance ||
            std::max(a.y, b.y) < box.minY - clearance || std::min(a.y, b.y) > box.maxY + clearance)
            continue;
        if (contains(ring, a) || contains(ring, b)) return true;
        for (std::size_t k = 0; k < ring.size(); ++k) {
            const Point& p = ring[k];
            const Point& q = ring[(k + 1) % ring.size()];
            if (edgesCross(a, b, p, q)) return true;
            if (distanceToSegment(p, a, b) < clearance || distanceToSegment(a, p, q) < clearance ||
                distanceToSegment(b, p, q) < clearance)
                return true;
        }
    }
    return false;
}

std::vector<Point> smoothCurve(const std::vector<Point>& control, double step) {
    std::vector<Point> out;
    if (control.size() < 2) return control;
    for (std::size_t i = 0; i + 1 < control.size(); ++i) {
        const Point p0 = control[i == 0 ? 0 : i - 1], p1 = control[i], p2 = control[i + 1];
        const Point p3 = control[std::min(i + 2, control.size() - 1)];
        const int n = std::max(1, static_cast<int>(std::ceil(std::hypot(p2.x - p1.x, p2.y - p1.y) / step)));
        for (int k = 0; k < n; ++k) {
            const double t = static_cast<double>(k) / n, t2 = t * t, t3 = t2 * t;
            const auto blend = [&](double a, double b, double c, double d) {
                return 0.5 * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 + (-a + 3 * b - 3 * c + d) * t3);
            };
            out.push_back({blend(p0.x, p1.x, p2.x, p3.x), blend(p0.y, p1.y, p2.y, p3.y)});
        }
    }
    out.push_back(control.back());
    return out;
}

std::vector<double> arcLengths(const std::vector<Point>& line) {
    std::vector<double> s(line.size(), 0.0);
    for (std::size_t i = 1; i < line.size(); ++i)
        s[i] = s[i - 1] + std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
    return s;
}

Point pointAt(const std::vector<Point>& line, const std::vector<double>& lengths, double s, Point* direction) {
    s = std::clamp(s, 0.0, lengths.back());
    std::size_t i = static_cast<std::size_t>(std::upper_bound(lengths.begin(), lengths.end(), s) - lengths.begin());
    i = std::clamp<std::size_t>(i, 1, line.size() - 1);
    const Point& a = line[i - 1];
    const Point& b = line[i];
    const double len = lengths[i] - lengths[i - 1];
    const double t = len > 0 ? (s - lengths[i - 1]) / len : 0.0;
    if (direction) *direction = len > 0 ? Point{(b.x - a.x) / len, (b.y - a.y) / len} : Point{1, 0};
    return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
}

std::vector<Point> offsetPart(const std::vector<Point>& line, const std::vector<double>& lengths, double s0, double s1,
                              double offset) {
    std::vector<Point> out;
    const auto push = [&](double s) {
        Point d;
        const Point p = pointAt(line, lengths, s, &d);
        out.push_back({p.x - d.y * offset, p.y + d.x * offset});
    };
    push(s0);
    for (std::size_t i = 0; i < lengths.size(); ++i)
        if (lengths[i] > s0 + 0.5 && lengths[i] < s1 - 0.5) push(lengths[i]);
    push(s1);
    return out;
}

}  // namespace sim::detail
