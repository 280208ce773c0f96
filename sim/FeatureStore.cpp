#include "FeatureStore.h"

#include <algorithm>
#include <limits>

namespace sim {

namespace {
void grow(geodesy::Bbox& b, const geodesy::PlanarPoint& p) {
    b.minE = std::min(b.minE, p.x);
    b.minN = std::min(b.minN, p.y);
    b.maxE = std::max(b.maxE, p.x);
    b.maxN = std::max(b.maxN, p.y);
}

double cross(const geodesy::PlanarPoint& o, const geodesy::PlanarPoint& a, const geodesy::PlanarPoint& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

bool segmentsMeet(const geodesy::PlanarPoint& a, const geodesy::PlanarPoint& b, const geodesy::PlanarPoint& c,
                  const geodesy::PlanarPoint& d) {
    const double d1 = cross(c, d, a), d2 = cross(c, d, b), d3 = cross(a, b, c), d4 = cross(a, b, d);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return true;
    const auto onSegment = [](const geodesy::PlanarPoint& p, const geodesy::PlanarPoint& q,
                              const geodesy::PlanarPoint& r) {
        return std::min(p.x, q.x) <= r.x && r.x <= std::max(p.x, q.x) && std::min(p.y, q.y) <= r.y &&
               r.y <= std::max(p.y, q.y);
    };
    return (d1 == 0 && onSegment(c, d, a)) || (d2 == 0 && onSegment(c, d, b)) || (d3 == 0 && onSegment(a, b, c)) ||
           (d4 == 0 && onSegment(a, b, d));
}

bool segmentMeetsBox(const geodesy::PlanarPoint& a, const geodesy::PlanarPoint& b, const geodesy::Bbox& box) {
    if (box.contains(a) || box.contains(b)) return true;
    const geodesy::PlanarPoint c1{box.minE, box.minN}, c2{box.maxE, box.minN}, c3{box.maxE, box.maxN},
        c4{box.minE, box.maxN};
    return segmentsMeet(a, b, c1, c2) || segmentsMeet(a, b, c2, c3) || segmentsMeet(a, b, c3, c4) ||
           segmentsMeet(a, b, c4, c1);
}

bool pointInRing(const geodesy::PlanarPoint& p, const std::vector<geodesy::PlanarPoint>& ring) {
    bool inside = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const geodesy::PlanarPoint& a = ring[i];
        const geodesy::PlanarPoint& b = ring[j];
        if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
    }
    return inside;
}

bool pathMeetsBox(const std::vector<geodesy::PlanarPoint>& path, const geodesy::Bbox& box, bool closed) {
    if (path.empty()) return false;
    if (path.size() == 1) return box.contains(path[0]);
    for (std::size_t i = 0; i + 1 < path.size(); ++i)
        if (segmentMeetsBox(path[i], path[i + 1], box)) return true;
    return closed && segmentMeetsBox(path.back(), path.front(), box);
}
}  // namespace

geodesy::Bbox SimFeature::envelope() const {
    const double inf = std::numeric_limits<double>::infinity();
    geodesy::Bbox b{inf, inf, -inf, -inf};
    for (const auto& ring : rings)
        for (const auto& p : ring) grow(b, p);
    for (const auto& p : line) grow(b, p);
    for (const auto& p : points) grow(b, p);
    return b;
}

bool featureMeetsBox(const SimFeature& feature, const geodesy::Bbox& box) {
    for (const auto& ring : feature.rings)
        if (pathMeetsBox(ring, box, true)) return true;
    // A box wholly inside the exterior ring (and not inside a hole) meets the polygon too.
    if (!feature.rings.empty() && feature.rings[0].size() >= 3) {
        const geodesy::PlanarPoint centre = box.centre();
        bool inHole = false;
        for (std::size_t i = 1; i < feature.rings.size(); ++i)
            if (feature.rings[i].size() >= 3 && pointInRing(centre, feature.rings[i])) inHole = true;
        if (!inHole && pointInRing(centre, feature.rings[0])) return true;
    }
    if (pathMeetsBox(feature.line, box, false)) return true;
    for (const auto& p : feature.points)
        if (box.contains(p)) return true;
    return false;
}

void FeatureStore::add(const std::string& typeName, SimFeature feature) {
    layers_[typeName].push_back(std::move(feature));
}

std::vector<std::string> FeatureStore::typeNames() const {
    std::vector<std::string> names;
    for (const auto& item : layers_) names.push_back(item.first);
    return names;
}

bool FeatureStore::hasType(const std::string& typeName) const { return layers_.count(typeName) > 0; }

std::vector<const SimFeature*> FeatureStore::query(const std::string& typeName, const geodesy::Bbox* box) const {
    std::vector<const SimFeature*> out;
    const auto found = layers_.find(typeName);
    if (found == layers_.end()) return out;
    for (const auto& f : found->second)
        if (box == nullptr || featureMeetsBox(f, *box)) out.push_back(&f);
    return out;
}

}  // namespace sim
