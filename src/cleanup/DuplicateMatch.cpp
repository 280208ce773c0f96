#include "cleanup/DuplicateMatch.h"

#include <cmath>
#include <map>
#include <tuple>

namespace cleanup {

namespace {

bool near(double a, double b) { return std::fabs(a - b) < kDuplicateTolerance; }
bool near(const host::HostPoint2& a, const host::HostPoint2& b) { return near(a.x, b.x) && near(a.y, b.y); }

// Segment j of the walk that starts at segment `rotation` of the sequence, forwards or backwards; a segment
// walked backwards runs from its end to its start and bulges the other way round.
DuplicateSegment walkSegment(const std::vector<DuplicateSegment>& segments, std::size_t rotation, bool reversed,
                             std::size_t j) {
    const std::size_t n = segments.size();
    const std::size_t k = (j + rotation) % n;
    if (!reversed) return segments[k];
    const DuplicateSegment& s = segments[n - 1 - k];
    return {s.end, s.start, -s.angle};
}

bool walkMatches(const std::vector<DuplicateSegment>& a, const std::vector<DuplicateSegment>& b, std::size_t rotation,
                 bool reversed) {
    for (std::size_t j = 0; j < a.size(); ++j) {
        const DuplicateSegment s = walkSegment(b, rotation, reversed, j);
        if (!near(a[j].start, s.start) || !near(a[j].end, s.end) || !near(a[j].angle, s.angle)) return false;
    }
    return true;
}

// Cells of the tolerance's width: records within it lie in the same or a neighbouring cell.
constexpr double kCell = 2 * kDuplicateTolerance;

bool finite(const host::HostPoint2& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

// The mean of a polyline's distinct vertices (a ring's closing point left out): the same wherever a ring starts
// and whichever way it runs, and moved by less than the tolerance when every vertex is.
bool centreOf(const PolylineRecord& r, host::HostPoint2& centre) {
    const std::size_t count = r.closed ? r.points.size() - 1 : r.points.size();
    if (count == 0) {
        centre = {0.0, 0.0};
        return true;
    }
    double sx = 0.0, sy = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!finite(r.points[i])) return false;
        sx += r.points[i].x - r.points[0].x;
        sy += r.points[i].y - r.points[0].y;
    }
    for (const host::PolylineArc& arc : r.arcs)
        if (!std::isfinite(arc.angle)) return false;
    centre = {r.points[0].x + sx / static_cast<double>(count), r.points[0].y + sy / static_cast<double>(count)};
    return finite(centre);
}

// Survivors grouped by a key of what must be equal and a cell of their position; a record is compared with the
// survivors of its own and the eight neighbouring cells.
template <class Record, class Key, class Same>
class Survivors {
public:
    explicit Survivors(Same same) : same_(same) {}

    // True when the record repeats a survivor; otherwise it becomes one.
    bool repeats(const Record& record, const Key& key, const host::HostPoint2& position) {
        const long long cx = static_cast<long long>(std::floor(position.x / kCell));
        const long long cy = static_cast<long long>(std::floor(position.y / kCell));
        for (long long dx = -1; dx <= 1; ++dx)
            for (long long dy = -1; dy <= 1; ++dy) {
                const auto found = cells_.find({key, cx + dx, cy + dy});
                if (found == cells_.end()) continue;
                for (const Record* survivor : found->second)
                    if (same_(*survivor, record)) return true;
            }
        cells_[{key, cx, cy}].push_back(&record);
        return false;
    }

private:
    Same same_;
    std::map<std::tuple<Key, long long, long long>, std::vector<const Record*>> cells_;
};

// Beyond this magnitude a coordinate has no cell in a 64-bit integer; such drawings are left alone.
bool cellable(const host::HostPoint2& p) { return std::fabs(p.x) < 1e15 && std::fabs(p.y) < 1e15; }

}  // namespace

bool isClosedPolyline(const std::vector<host::HostPoint2>& points) {
    return points.size() > 2 && points.front().x == points.back().x && points.front().y == points.back().y;
}

std::vector<DuplicateSegment> polylineSegments(const PolylineRecord& polyline) {
    std::vector<DuplicateSegment> segments;
    const auto& pts = polyline.points;
    if (pts.size() < 2) return segments;
    segments.reserve(pts.size() - 1);
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        DuplicateSegment s{pts[i], pts[i + 1], 0.0};
        for (const auto& arc : polyline.arcs) {
            if (arc.begin == static_cast<std::int32_t>(i) && arc.end == static_cast<std::int32_t>(i + 1)) {
                s.angle = arc.angle;
                break;
            }
        }
        segments.push_back(s);
    }
    return segments;
}

bool samePolyline(const PolylineRecord& a, const PolylineRecord& b) {
    if (a.closed != b.closed) return false;
    const std::vector<DuplicateSegment> sa = polylineSegments(a), sb = polylineSegments(b);
    if (sa.size() != sb.size()) return false;
    if (sa.empty()) return true;
    // An open polyline may only be walked from either end; a ring from any vertex, tried only where the
    // walk's first point meets the other's.
    const std::size_t rotations = a.closed ? sb.size() : 1;
    for (const bool reversed : {false, true})
        for (std::size_t k = 0; k < rotations; ++k)
            if (near(sa[0].start, walkSegment(sb, k, reversed, 0).start) && walkMatches(sa, sb, k, reversed))
                return true;
    return false;
}

bool sameText(const TextRecord& a, const TextRecord& b) {
    return a.content == b.content && near(a.position, b.position);
}

std::vector<std::size_t> laterDuplicatePolylines(const std::vector<PolylineRecord>& records) {
    using Key = std::tuple<std::int32_t, std::int32_t, bool, std::size_t>;
    const auto same = [](const PolylineRecord& a, const PolylineRecord& b) { return samePolyline(a, b); };
    Survivors<PolylineRecord, Key, decltype(same)> survivors(same);
    std::vector<std::size_t> doomed;
    for (const PolylineRecord& r : records) {
        host::HostPoint2 centre;
        if (!centreOf(r, centre) || !cellable(centre)) continue;
        if (survivors.repeats(r, Key{r.story, r.layer, r.closed, r.points.size()}, centre)) doomed.push_back(r.index);
    }
    return doomed;
}

std::vector<std::size_t> laterDuplicateTexts(const std::vector<TextRecord>& records) {
    using Key = std::tuple<std::int32_t, std::int32_t, std::string>;
    const auto same = [](const TextRecord& a, const TextRecord& b) { return sameText(a, b); };
    Survivors<TextRecord, Key, decltype(same)> survivors(same);
    std::vector<std::size_t> doomed;
    for (const TextRecord& r : records) {
        if (!finite(r.position) || !cellable(r.position)) continue;
        if (survivors.repeats(r, Key{r.story, r.layer, r.content}, r.position)) doomed.push_back(r.index);
    }
    return doomed;
}

}  // namespace cleanup
