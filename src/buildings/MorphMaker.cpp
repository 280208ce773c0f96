#include "buildings/MorphMaker.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <tuple>

#include "buildings/detail/FaceOrientation.h"
#include "buildings/detail/FaceTriangulation.h"
#include "buildings/detail/PolygonClipper.h"

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

// Faces up to this many vertices are clipped fattest ear first and their edges flipped; larger ones, and faces
// with holes, go through the bounded clipper.
constexpr std::size_t kSmallFace = 128;

void countFan(TriangulationStats* stats, int n) {
    if (!stats) return;
    ++stats->counts[kFanFallback];
    stats->counts[kWorstFan] = std::max(stats->counts[kWorstFan], n);
}

// Counts a clipped face and improves its triangles by edge flipping when it is small enough.
void finishClipped(std::vector<Triangle>& triangles, const std::vector<Point2>& flat, std::size_t n,
                   TriangulationStats* stats) {
    const int count = static_cast<int>(n);
    if (stats) {
        ++stats->counts[kEarClipped];
        if (detail::isQuasiFan(triangles)) {
            ++stats->counts[kQuasiFan];
            stats->counts[kWorstQuasiFan] = std::max(stats->counts[kWorstQuasiFan], count);
        }
    }
    if (count >= kFlipFromVertices && n <= kSmallFace) {
        detail::flipEdges(triangles, flat);
        if (stats && detail::isQuasiFan(triangles)) ++stats->counts[kQuasiFanAfterFlip];
    }
}

// Triangles of a face that is not one polygon, in the face's own winding: indices into the outline followed by
// its holes. No triangulation within bounds gives a fan over the outline, counted as such.
std::vector<Triangle> triangulate(const std::vector<std::vector<Point3>>& rings, TriangulationStats* stats) {
    std::size_t n = 0;
    for (const auto& ring : rings) n += ring.size();
    const std::vector<std::vector<Point2>> flat = detail::projectRings(rings);
    std::vector<Point2> all;
    all.reserve(n);
    for (const auto& ring : flat) all.insert(all.end(), ring.begin(), ring.end());
    std::vector<Triangle> triangles = rings.size() == 1 && n <= kSmallFace
                                          ? detail::earClip(flat[0])
                                          : detail::clipPolygon(flat, detail::clipWorkLimit(n));
    if (triangles.empty()) {
        countFan(stats, static_cast<int>(rings[0].size()));
        return detail::fan(static_cast<int>(rings[0].size()));
    }
    finishClipped(triangles, all, n, stats);
    // Clipping and flipping work anticlockwise in 2D; a clockwise face keeps its own winding (and so its
    // outward side).
    if (detail::signedArea2(flat[0]) < 0.0)
        for (Triangle& t : triangles) std::swap(t[1], t[2]);
    return triangles;
}

// A ring in 3D without the closing point that repeats its first; empty when it is not a usable ring.
std::vector<Point3> ringPoints(const std::vector<geodesy::PlanarPoint>& xy, const std::vector<double>& z) {
    std::vector<Point3> points;
    if (xy.size() < 3 || z.size() != xy.size()) return points;
    points.reserve(xy.size());
    for (std::size_t k = 0; k < xy.size(); ++k) points.push_back({xy[k].x, xy[k].y, z[k]});
    if (samePoint(points.front(), points.back())) points.pop_back();
    if (points.size() < 3) points.clear();
    return points;
}

using WeldKey = std::tuple<long long, long long, long long>;

WeldKey weldKey(const Point3& p) {
    return {std::llround(p.x * 1000.0), std::llround(p.y * 1000.0), std::llround(p.z * 1000.0)};
}

// Every usable face as its rings (outline first), turned and thinned so that the body closes outward.
std::vector<std::vector<std::vector<Point3>>> orientedRings(const std::vector<MorphFace>& faces) {
    std::vector<std::vector<std::vector<Point3>>> rings;
    rings.reserve(faces.size());
    for (const MorphFace& face : faces) {
        std::vector<std::vector<Point3>> face3;
        face3.push_back(ringPoints(face.points, face.z));
        if (face3[0].empty()) continue;
        const Point3 facing = detail::newellNormal(face3[0]);
        for (const MorphRing& hole : face.holes) {
            std::vector<Point3> h = ringPoints(hole.points, hole.z);
            if (h.empty()) continue;
            // A hole runs against its outline, whichever way the file wound it.
            const Point3 n = detail::newellNormal(h);
            if (n.x * facing.x + n.y * facing.y + n.z * facing.z > 0.0) std::reverse(h.begin() + 1, h.end());
            face3.push_back(std::move(h));
        }
        rings.push_back(std::move(face3));
    }
    // Orientation is decided on millimetre-welded vertices, whether or not the body itself is welded.
    std::map<WeldKey, std::int32_t> keys;
    std::vector<Point3> vertices;
    std::vector<detail::OrientedFace> loops(rings.size());
    for (std::size_t f = 0; f < rings.size(); ++f)
        for (const auto& ring : rings[f]) {
            std::vector<std::int32_t> loop;
            loop.reserve(ring.size());
            for (const Point3& p : ring) {
                const auto [it, added] = keys.emplace(weldKey(p), static_cast<std::int32_t>(vertices.size()));
                if (added) vertices.push_back(p);
                loop.push_back(it->second);
            }
            loops[f].loops.push_back(std::move(loop));
        }
    const detail::FaceTurns turns = detail::orientFaces(loops, vertices);
    std::vector<std::vector<std::vector<Point3>>> out;
    out.reserve(rings.size());
    for (std::size_t f = 0; f < rings.size(); ++f) {
        if (turns.dropped[f]) continue;
        if (turns.reversed[f])
            for (auto& ring : rings[f]) std::reverse(ring.begin() + 1, ring.end());
        out.push_back(std::move(rings[f]));
    }
    return out;
}

host::HostError buildBody(host::Host& h, host::MorphBodyId body, const std::vector<MorphFace>& faces,
                          bool triangulateAll, bool weld, std::int32_t material, TriangulationStats* stats) {
    BodyBuilder builder(h, body, weld, material);
    for (const std::vector<std::vector<Point3>>& rings : orientedRings(faces)) {
        std::vector<std::int32_t> numbers;
        for (const auto& ring : rings)
            for (const Point3& p : ring) {
                numbers.push_back(0);
                if (const host::HostError e = builder.vertex(p, numbers.back())) return e;
            }
        if (stats) ++stats->counts[kFacesSeen];
        const std::vector<Point3>& points = rings[0];
        if (!triangulateAll) {
            const detail::FaceKind kind = detail::classifyFace(points);
            if (kind == detail::FaceKind::PlanarConvex && rings.size() == 1) {
                if (stats) ++stats->counts[kPlanarConvex];
                if (const host::HostError e = builder.polygon(numbers)) return e;
                continue;
            }
            if (stats) ++stats->counts[kind == detail::FaceKind::NonPlanar ? kNonPlanar : kPlanarConcave];
        }
        for (const Triangle& t : triangulate(rings, stats)) {
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
