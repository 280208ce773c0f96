#include "import/StructureMorph.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <tuple>

namespace importer {

using host::HostPoint3;

namespace {

constexpr host::HostError kNoFaces = static_cast<host::HostError>(0x81060068u);

HostPoint3 sub(const HostPoint3& a, const HostPoint3& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
HostPoint3 cross(const HostPoint3& a, const HostPoint3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double dot(const HostPoint3& a, const HostPoint3& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

// 2D view of a face, dropping the axis of the normal's largest component.
std::vector<std::array<double, 2>> projected(const std::vector<HostPoint3>& f, const HostPoint3& n) {
    std::vector<std::array<double, 2>> out;
    const double ax = std::fabs(n.x), ay = std::fabs(n.y), az = std::fabs(n.z);
    for (const HostPoint3& p : f) {
        if (az >= ax && az >= ay) out.push_back({p.x, p.y});
        else if (ax < ay) out.push_back({p.x, p.z});
        else out.push_back({p.y, p.z});
    }
    return out;
}

HostPoint3 newellNormal(const std::vector<HostPoint3>& f) {
    HostPoint3 n{0, 0, 0};
    for (std::size_t i = 0; i < f.size(); ++i) {
        const HostPoint3& p = f[i];
        const HostPoint3& q = f[(i + 1) % f.size()];
        n.x += (p.y - q.y) * (p.z + q.z);
        n.y += (p.z - q.z) * (p.x + q.x);
        n.z += (p.x - q.x) * (p.y + q.y);
    }
    return n;
}

bool planarConvex(const std::vector<HostPoint3>& f) {
    HostPoint3 normal{0, 0, 0};
    bool found = false;
    for (std::size_t i = 1; i < f.size() && !found; ++i) {
        for (std::size_t j = i + 1; j < f.size() && !found; ++j) {
            const HostPoint3 c = cross(sub(f[i], f[0]), sub(f[j], f[0]));
            const double len = std::sqrt(dot(c, c));
            if (len > 1e-6) {
                normal = {c.x / len, c.y / len, c.z / len};
                found = true;
            }
        }
    }
    if (!found) return false;
    for (const HostPoint3& p : f)
        if (std::fabs(dot(sub(p, f[0]), normal)) > 0.05) return false;
    const auto flat = projected(f, normal);
    double first = 0.0;
    for (std::size_t i = 0; i < flat.size(); ++i) {
        const auto& a = flat[i];
        const auto& b = flat[(i + 1) % flat.size()];
        const auto& c = flat[(i + 2) % flat.size()];
        const double turn = (b[0] - a[0]) * (c[1] - b[1]) - (b[1] - a[1]) * (c[0] - b[0]);
        if (std::fabs(turn) <= 1e-9) continue;
        if (first == 0.0) first = turn;
        else if ((turn > 0) != (first > 0)) return false;
    }
    return true;
}

// Ear clipping in the face's 2D view; empty when it gets stuck.
std::vector<std::array<std::size_t, 3>> earClip(const std::vector<HostPoint3>& f) {
    const auto p = projected(f, newellNormal(f));
    std::vector<std::size_t> idx;
    double area = 0.0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        const auto& a = p[i];
        const auto& b = p[(i + 1) % p.size()];
        area += a[0] * b[1] - b[0] * a[1];
        idx.push_back(i);
    }
    if (area <= 0) std::reverse(idx.begin(), idx.end());
    auto turn = [&](std::size_t a, std::size_t b, std::size_t c) {
        return (p[b][0] - p[a][0]) * (p[c][1] - p[a][1]) - (p[b][1] - p[a][1]) * (p[c][0] - p[a][0]);
    };
    std::vector<std::array<std::size_t, 3>> out;
    for (std::size_t steps = 0; idx.size() > 3 && steps <= 3 * f.size(); ++steps) {
        bool clipped = false;
        for (std::size_t k = 0; k < idx.size() && !clipped; ++k) {
            const std::size_t a = idx[(k + idx.size() - 1) % idx.size()], b = idx[k], c = idx[(k + 1) % idx.size()];
            if (turn(a, b, c) <= 0) continue;
            bool empty = true;
            for (std::size_t m : idx) {
                if (m == a || m == b || m == c) continue;
                if (turn(a, b, m) >= 0 && turn(b, c, m) >= 0 && turn(c, a, m) >= 0) empty = false;
            }
            if (!empty) continue;
            out.push_back({a, b, c});
            idx.erase(idx.begin() + static_cast<std::ptrdiff_t>(k));
            clipped = true;
        }
        if (!clipped) break;
    }
    if (idx.size() != 3) return {};
    out.push_back({idx[0], idx[1], idx[2]});
    return out;
}

class BodyBuilder {
public:
    BodyBuilder(host::MorphBodyId body, bool weld) : body_(body), weld_(weld) {}

    host::HostError vertex(const HostPoint3& p, std::int32_t& number) {
        const auto key = std::make_tuple(std::llround(p.x * 1000), std::llround(p.y * 1000), std::llround(p.z * 1000));
        if (weld_) {
            if (const auto it = vertices_.find(key); it != vertices_.end()) {
                number = it->second;
                return host::kHostOk;
            }
        }
        const host::HostError e = host::host().morphBodyAddVertex(body_, p, number);
        if (e == host::kHostOk && weld_) vertices_[key] = number;
        return e;
    }
    host::HostError edge(std::int32_t a, std::int32_t b, std::int32_t& number) {
        if (weld_) {
            if (const auto it = edges_.find({a, b}); it != edges_.end()) {
                number = it->second;
                return host::kHostOk;
            }
            if (const auto it = edges_.find({b, a}); it != edges_.end()) {
                number = -it->second;
                return host::kHostOk;
            }
        }
        const host::HostError e = host::host().morphBodyAddEdge(body_, a, b, number);
        if (e == host::kHostOk && weld_) edges_[{a, b}] = number;
        return e;
    }
    // One polygon through the given vertex numbers (edges between equal vertices left out).
    host::HostError polygon(const std::vector<std::int32_t>& ring, std::int32_t material) {
        host::MorphPolygon poly;
        poly.hasMaterial = true;
        poly.material = material;
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const std::int32_t a = ring[i], b = ring[(i + 1) % ring.size()];
            if (a == b) continue;
            std::int32_t number = 0;
            if (const host::HostError e = edge(a, b, number)) return e;
            poly.edges.push_back(number);
        }
        if (poly.edges.size() < 3) return host::kHostOk;
        std::int32_t ignored = 0;
        return host::host().morphBodyAddPolygon(body_, poly, ignored);
    }

private:
    host::MorphBodyId body_;
    bool weld_;
    std::map<std::tuple<long long, long long, long long>, std::int32_t> vertices_;
    std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> edges_;
};

host::HostError buildFaces(BodyBuilder& body, const MorphFaces& faces, bool triangulateAll, std::int32_t material) {
    for (std::vector<HostPoint3> f : faces) {
        if (f.size() >= 2) {
            const HostPoint3 d = sub(f.back(), f.front());
            if (std::fabs(d.x) <= 1e-6 && std::fabs(d.y) <= 1e-6 && std::fabs(d.z) <= 1e-6) f.pop_back();
        }
        if (f.size() < 3) continue;
        std::vector<std::int32_t> numbers(f.size());
        for (std::size_t i = 0; i < f.size(); ++i)
            if (const host::HostError e = body.vertex(f[i], numbers[i])) return e;
        if (!triangulateAll && planarConvex(f)) {
            if (const host::HostError e = body.polygon(numbers, material)) return e;
            continue;
        }
        std::vector<std::array<std::size_t, 3>> triangles = earClip(f);
        if (triangles.empty())
            for (std::size_t i = 2; i < f.size(); ++i) triangles.push_back({0, i - 1, i});
        for (const auto& t : triangles) {
            if (numbers[t[0]] == numbers[t[1]] || numbers[t[1]] == numbers[t[2]] || numbers[t[0]] == numbers[t[2]])
                continue;
            if (const host::HostError e = body.polygon({numbers[t[0]], numbers[t[1]], numbers[t[2]]}, material))
                return e;
        }
    }
    return host::kHostOk;
}

}  // namespace

host::HostError makeStructureMorph(const MorphFaces& faces, std::int32_t layer, bool triangulateAll, bool weld,
                                   std::int32_t material) {
    if (faces.empty()) return kNoFaces;
    host::Host& h = host::host();
    host::MorphElement morph;
    if (const host::HostError e = h.defaultMorph(morph)) return e;
    morph.layer = layer;
    host::MorphBodyId id = 0;
    if (const host::HostError e = h.morphBodyNew(id)) return e;
    BodyBuilder body(id, weld);
    host::HostError e = buildFaces(body, faces, triangulateAll, material);
    if (e == host::kHostOk) e = h.morphBodyFinish(id, morph);
    h.morphBodyDispose(id);
    if (e != host::kHostOk) return e;
    host::ElementId created;
    return h.createMorph(morph, created);
}

host::HostError makeStructureMorphWithRetries(const MorphFaces& faces, std::int32_t layer, std::int32_t material) {
    host::HostError e = makeStructureMorph(faces, layer, false, true, material);
    if (e != host::kHostOk) e = makeStructureMorph(faces, layer, true, true, material);
    if (e != host::kHostOk) e = makeStructureMorph(faces, layer, true, false, material);
    return e;
}

}  // namespace importer
