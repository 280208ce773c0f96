#include "buildings/detail/FaceOrientation.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace buildings::detail {

namespace {

// The loop begun at its smallest vertex number, so that the same cycle compares equal wherever it starts.
std::vector<std::int32_t> canonical(std::vector<std::int32_t> loop) {
    std::rotate(loop.begin(), std::min_element(loop.begin(), loop.end()), loop.end());
    return loop;
}

struct EdgeUse {
    std::int32_t low, high;
    std::size_t face;
    bool forward;  // walked from low to high
};

// Six times the volume the loops enclose seen from `c`, each loop walked as given or backwards.
double volumeAbout(const OrientedFace& face, bool reversed, const std::vector<Point3>& v, const Point3& c) {
    double sum = 0.0;
    for (const auto& loop : face.loops) {
        const std::size_t n = loop.size();
        auto at = [&](std::size_t k) {
            const Point3& p = v[static_cast<std::size_t>(loop[reversed ? (n - k) % n : k])];
            return Point3{p.x - c.x, p.y - c.y, p.z - c.z};
        };
        const Point3 a = at(0);
        for (std::size_t k = 1; k + 1 < n; ++k) {
            const Point3 b = at(k), d = at(k + 1);
            sum += a.x * (b.y * d.z - b.z * d.y) - a.y * (b.x * d.z - b.z * d.x) + a.z * (b.x * d.y - b.y * d.x);
        }
    }
    return sum;
}

}  // namespace

FaceTurns orientFaces(const std::vector<OrientedFace>& faces, const std::vector<Point3>& vertices) {
    const std::size_t n = faces.size();
    FaceTurns turns{std::vector<bool>(n, false), std::vector<bool>(n, false)};

    // A ring given twice walked both ways is a wall between two parts: neither side is outside. Given twice the
    // same way it is a repeat.
    std::map<std::vector<std::int32_t>, std::size_t> seen;
    for (std::size_t f = 0; f < n; ++f) {
        if (faces[f].loops.size() != 1 || faces[f].loops[0].size() < 3) continue;
        std::vector<std::int32_t> forward = canonical(faces[f].loops[0]);
        std::vector<std::int32_t> backward(faces[f].loops[0].rbegin(), faces[f].loops[0].rend());
        backward = canonical(std::move(backward));
        if (const auto it = seen.find(backward); it != seen.end() && backward != forward) {
            turns.dropped[f] = turns.dropped[it->second] = true;
            seen.erase(it);
        } else if (seen.count(forward) != 0) {
            turns.dropped[f] = true;
        } else {
            seen.emplace(std::move(forward), f);
        }
    }

    std::vector<EdgeUse> uses;
    for (std::size_t f = 0; f < n; ++f) {
        if (turns.dropped[f]) continue;
        for (const auto& loop : faces[f].loops)
            for (std::size_t k = 0; k < loop.size(); ++k) {
                const std::int32_t a = loop[k], b = loop[(k + 1) % loop.size()];
                if (a != b) uses.push_back({std::min(a, b), std::max(a, b), f, a < b});
            }
    }
    std::sort(uses.begin(), uses.end(), [](const EdgeUse& x, const EdgeUse& y) {
        return std::tie(x.low, x.high, x.face) < std::tie(y.low, y.high, y.face);
    });
    // Faces meeting along an edge that exactly two faces have: whether they walk it the same way.
    std::vector<std::vector<std::pair<std::size_t, bool>>> neighbours(n);
    for (std::size_t i = 0; i < uses.size();) {
        std::size_t j = i;
        while (j < uses.size() && uses[j].low == uses[i].low && uses[j].high == uses[i].high) ++j;
        if (j - i == 2 && uses[i].face != uses[i + 1].face) {
            const bool same = uses[i].forward == uses[i + 1].forward;
            neighbours[uses[i].face].push_back({uses[i + 1].face, same});
            neighbours[uses[i + 1].face].push_back({uses[i].face, same});
        }
        i = j;
    }

    std::vector<bool> visited(n, false);
    for (std::size_t first = 0; first < n; ++first) {
        if (visited[first] || turns.dropped[first]) continue;
        std::vector<std::size_t> shell{first}, queue{first};
        visited[first] = true;
        while (!queue.empty()) {
            const std::size_t f = queue.back();
            queue.pop_back();
            for (const auto& [g, same] : neighbours[f]) {
                if (visited[g]) continue;  // a shell that cannot be oriented keeps the first answer
                visited[g] = true;
                turns.reversed[g] = turns.reversed[f] != same;
                shell.push_back(g);
                queue.push_back(g);
            }
        }
        Point3 centre;
        std::size_t count = 0;
        for (const std::size_t f : shell)
            for (const auto& loop : faces[f].loops)
                for (const std::int32_t k : loop) {
                    const Point3& p = vertices[static_cast<std::size_t>(k)];
                    centre = {centre.x + p.x, centre.y + p.y, centre.z + p.z};
                    ++count;
                }
        if (count == 0) continue;
        const double c = static_cast<double>(count);
        centre = {centre.x / c, centre.y / c, centre.z / c};
        double volume = 0.0;
        for (const std::size_t f : shell) volume += volumeAbout(faces[f], turns.reversed[f], vertices, centre);
        if (volume < 0.0)
            for (const std::size_t f : shell) turns.reversed[f] = !turns.reversed[f];
    }
    return turns;
}

}  // namespace buildings::detail
