#include "cleanup/DuplicateKeys.h"

#include <cmath>

#include "platform/Numbers.h"

namespace cleanup {

namespace {

// The number texts of one segment, in both walking directions.
struct SegmentTokens {
    std::string startX, startY, endX, endY;
    std::string angle, reversedAngle;
};

// One candidate walk: the segment sequence rotated by `rotation`, forwards or reversed.
struct Walk {
    bool reversed = false;
    std::size_t rotation = 0;
};

// The number texts of one walk, read one at a time so that candidates can be compared without
// building every candidate string (a closed contour of thousands of points has thousands of them).
class WalkReader {
public:
    explicit WalkReader(const std::vector<SegmentTokens>& tokens) : tokens_(tokens) {}

    std::size_t length() const { return 2 + 3 * tokens_.size(); }

    const std::string& token(const Walk& walk, std::size_t position) const {
        if (position < 2) {
            const SegmentTokens& first = segment(walk, 0);
            if (walk.reversed) return position == 0 ? first.endX : first.endY;
            return position == 0 ? first.startX : first.startY;
        }
        const std::size_t q = position - 2;
        const SegmentTokens& s = segment(walk, q / 3);
        switch (q % 3) {
            case 0: return walk.reversed ? s.reversedAngle : s.angle;
            case 1: return walk.reversed ? s.startX : s.endX;
            default: return walk.reversed ? s.startY : s.endY;
        }
    }

    // Byte-wise order of the walks' strings: every number text ends with the one '|' it holds,
    // so the first differing number decides, as it does for the joined strings.
    bool less(const Walk& a, const Walk& b) const {
        const std::size_t n = length();
        for (std::size_t p = 0; p < n; ++p) {
            const int c = token(a, p).compare(token(b, p));
            if (c != 0) return c < 0;
        }
        return false;
    }

    std::string text(const Walk& walk) const {
        std::string out;
        const std::size_t n = length();
        for (std::size_t p = 0; p < n; ++p) out += token(walk, p);
        return out;
    }

private:
    // Segment j of the walk: the reversed sequence is the segments last to first.
    const SegmentTokens& segment(const Walk& walk, std::size_t j) const {
        const std::size_t n = tokens_.size();
        const std::size_t k = (j + walk.rotation) % n;
        return walk.reversed ? tokens_[n - 1 - k] : tokens_[k];
    }

    const std::vector<SegmentTokens>& tokens_;
};

}  // namespace

std::string roundedKeyNumber(double v) {
    double r = std::floor(v * 1000.0 + 0.5) / 1000.0;
    if (r == 0.0) r = 0.0;  // -0 prints as "-0"; a rounded zero is one key
    return platform::cformat("%.17g|", r);
}

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

std::string polylineKey(const PolylineRecord& polyline) {
    const std::string prefix = polyline.closed ? "closed:" : "open:";
    const auto segments = polylineSegments(polyline);
    if (segments.empty()) return prefix + "empty";

    std::vector<SegmentTokens> tokens;
    tokens.reserve(segments.size());
    for (const auto& s : segments) {
        tokens.push_back({roundedKeyNumber(s.start.x), roundedKeyNumber(s.start.y), roundedKeyNumber(s.end.x),
                          roundedKeyNumber(s.end.y), roundedKeyNumber(s.angle), roundedKeyNumber(-s.angle)});
    }
    const WalkReader reader(tokens);
    // An open polyline may only be walked from either end; a ring from any vertex.
    const std::size_t rotations = polyline.closed ? segments.size() : 1;
    Walk best{false, 0};
    for (int reversed = 0; reversed < 2; ++reversed) {
        for (std::size_t k = 0; k < rotations; ++k) {
            const Walk w{reversed != 0, k};
            if (reader.less(w, best)) best = w;
        }
    }
    return prefix + reader.text(best);
}

std::string textKey(const TextRecord& text) {
    return roundedKeyNumber(text.position.x) + roundedKeyNumber(text.position.y) + text.content;
}

}  // namespace cleanup
