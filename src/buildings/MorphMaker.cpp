#include "buildings/MorphMaker.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "buildings/detail/FaceTriangulation.h"

namespace buildings {

namespace {

using detail::Point2;
using detail::Point3;
using detail::Triangle;

constexpr double kClosingMatch = 1e-6;
constexpr int kFlipFromVertices = 7;

// Builds one body through the host's morph body calls.
class BodyBuilder {
public:
    BodyBuilder(host::Host& h, host::MorphBodyId body, bool weld, std::int32_t material)
        : host_(h), body_(body), weld_(weld), material_(material) {}

    host::HostError vertex(const Point3& p, std::int32_t& number) {
        if (weld_) {
            const auto key =
                std::make_tuple(std::llround(p.x * 1000.0), std::llround(p.y * 1000.0), std::llround(p.z * 1000.0));
            if (const auto it = vertices_.find(key); it != vertices_.end()) {
                number = it->second;
                return host::kHostOk;
            }
            if (const host::HostError e = host_.morphBodyAddVertex(body_, {p.x, p.y, p.z}, number)) return e;
            vertices_.emplace(key, number);
            return host::kHostOk;
        }
        return host_.morphBodyAddVertex(body_, {p.x, p.y, p.z}, number);
    }

    // A polygon walking the vertices in order; edges between equal vertices are left out, fewer than 3 make none.
    host::HostError polygon(const std::vector<std::int32_t>& loop) {
        host::MorphPolygon poly;
        for (std::size_t k = 0; k < loop.size(); ++k) {
            const std::int32_t a = loop[k], b = loop[(k + 1) % loop.size()];
            if (a == b) continue;
            std::int32_t edge = 0;
            if (const host::HostError e = this->edge(a, b, edge)) return e;
            poly.edges.push_back(edge);
        }
        if (poly.edges.size() < 3) return host::kHostOk;
        poly.hasMaterial = true;
        poly.material = material_;
        std::int32_t number = 0;
        return host_.morphBodyAddPolygon(body_, poly, number);
    }

private:
    host::HostError edge(std::int32_t a, std::int32_t b, std::int32_t& edge) {
        if (weld_) {
            if (const auto it = edges_.find({a, b}); it != edges_.end()) {
                edge = it->second;
                return host::kHostOk;
            }
            if (const auto it = edges_.find({b, a}); it != edges_.end()) {
                edge = -it->second;
                return host::kHostOk;
            }
        }
        if (const host::HostError e = host_.morphBodyAddEdge(body_, a, b, edge)) return e;
        if (weld_) edges_.emplace(std::make_pair(a, b), edge);
        return host::kHostOk;
    }

    host::Host& host_;
    host::MorphBodyId body_;
    bool weld_;
    std::int32_t material_;
    std::map<std::tuple<long long, long long, long long>, std::int32_t> vertices_;
    std::map<std::pair<std::int32_t, std::int32_t>, std::int32_t> edges_;
};

bool samePoint(const Point3& a, const Point3& b) {
    return std::abs(a.x - b.x) <= kClosingMatch && std::abs(a.y - b.y) <= kClosingMatch &&
           std::abs(a.z - b.z) <= kClosingMatch;
}

// Triangles of a face that is not one polygon, in the face's own winding.
std::vector<Triangle> triangulate(const std::vector<Point3>& points, TriangulationStats* stats) {
    const int n = static_cast<int>(points.size());
    const std::vector<Point2> flat = detail::projectFace(points);
    std::vector<Triangle> triangles = detail::earClip(flat);
    if (triangles.empty()) {
        if (stats) {
            ++stats->counts[kFanFallback];
            stats->counts[kWorstFan] = std::max(stats->counts[kWorstFan], n);
        }
        return detail::fan(n);
    }
    if (stats) {
        ++stats->counts[kEarClipped];
        if (detail::isQuasiFan(triangles)) {
            ++stats->counts[kQuasiFan];
            stats->counts[kWorstQuasiFan] = std::max(stats->counts[kWorstQuasiFan], n);
        }
    }
    if (n >= kFlipFromVertices) {
        detail::flipEdges(triangles, flat);
        if (stats && detail::isQuasiFan(triangles)) ++stats->counts[kQuasiFanAfterFlip];
    }
    // Clipping and flipping work anticlockwise in 2D; a clockwise face keeps its own winding (and so its
    // outward side).
    if (detail::signedArea2(flat) < 0.0)
        for (Triangle& t : triangles) std::swap(t[1], t[2]);
    return triangles;
}

host::HostError buildBody(host::Host& h, host::MorphBodyId body, const std::vector<MorphFace>& faces,
                          bool triangulateAll, bool weld, std::int32_t material, TriangulationStats* stats) {
    BodyBuilder builder(h, body, weld, material);
    for (const MorphFace& face : faces) {
        if (face.points.size() < 3 || face.z.size() != face.points.size()) continue;
        std::vector<Point3> points;
        points.reserve(face.points.size());
        for (std::size_t k = 0; k < face.points.size(); ++k)
            points.push_back({face.points[k].x, face.points[k].y, face.z[k]});
        if (samePoint(points.front(), points.back())) points.pop_back();
        if (points.size() < 3) continue;
        std::vector<std::int32_t> numbers(points.size());
        for (std::size_t k = 0; k < points.size(); ++k)
            if (const host::HostError e = builder.vertex(points[k], numbers[k])) return e;
        if (stats) ++stats->counts[kFacesSeen];
        if (!triangulateAll) {
            const detail::FaceKind kind = detail::classifyFace(points);
            if (kind == detail::FaceKind::PlanarConvex) {
                if (stats) ++stats->counts[kPlanarConvex];
                if (const host::HostError e = builder.polygon(numbers)) return e;
                continue;
            }
            if (stats) ++stats->counts[kind == detail::FaceKind::PlanarConcave ? kPlanarConcave : kNonPlanar];
        }
        for (const Triangle& t : triangulate(points, stats)) {
            const std::int32_t a = numbers[static_cast<std::size_t>(t[0])], b = numbers[static_cast<std::size_t>(t[1])],
                               c = numbers[static_cast<std::size_t>(t[2])];
            if (a == b || b == c || a == c) continue;
            if (const host::HostError e = builder.polygon({a, b, c})) return e;
        }
    }
    return host::kHostOk;
}

}  // namespace

host::HostError makeMorph(const std::vector<MorphFace>& faces, std::int32_t layer, bool triangulateAll, bool weld,
                          std::int32_t material, TriangulationStats* stats, const std::string* id) {
    if (faces.empty()) return kMorphNoFaces;
    host::Host& h = host::host();
    host::MorphElement morph;
    if (const host::HostError e = h.defaultMorph(morph)) return e;
    morph.layer = layer;
    const double identity[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
    std::copy(std::begin(identity), std::end(identity), std::begin(morph.transform));
    host::MorphBodyId body = 0;
    if (const host::HostError e = h.morphBodyNew(body)) return e;
    host::HostError e = buildBody(h, body, faces, triangulateAll, weld, material, stats);
    if (e == host::kHostOk) e = h.morphBodyFinish(body, morph);
    h.morphBodyDispose(body);
    if (e != host::kHostOk) return e;
    host::ElementId element;
    if ((e = h.createMorph(morph, element)) != host::kHostOk) return e;
    if (id && !id->empty()) h.setElementIdText(element, *id);
    return host::kHostOk;
}

host::HostError makeMorphWithRetries(const std::vector<MorphFace>& faces, std::int32_t layer, std::int32_t material) {
    host::HostError e = makeMorph(faces, layer, false, true, material, nullptr, nullptr);
    if (e != host::kHostOk) e = makeMorph(faces, layer, true, true, material, nullptr, nullptr);
    if (e != host::kHostOk) e = makeMorph(faces, layer, true, false, material, nullptr, nullptr);
    return e;
}

}  // namespace buildings
