// Keys that group duplicated polylines and texts: start vertex, direction, rounding and arcs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "cleanup/DuplicateKeys.h"
#include "platform/Numbers.h"

using platform::cformat;

namespace {

cleanup::PolylineRecord record(std::vector<host::HostPoint2> pts, std::vector<host::PolylineArc> arcs = {}) {
    cleanup::PolylineRecord r;
    r.closed = cleanup::isClosedPolyline(pts);
    r.points = std::move(pts);
    r.arcs = std::move(arcs);
    return r;
}

std::string key(std::vector<host::HostPoint2> pts, std::vector<host::PolylineArc> arcs = {}) {
    return cleanup::polylineKey(record(std::move(pts), std::move(arcs)));
}

// The key as first defined: every candidate string built in full, the smallest one taken.
std::string referenceKey(const cleanup::PolylineRecord& r) {
    auto segs = cleanup::polylineSegments(r);
    const std::string prefix = r.closed ? "closed:" : "open:";
    if (segs.empty()) return prefix + "empty";
    auto traversal = [](const std::vector<cleanup::DuplicateSegment>& s) {
        std::string t = cleanup::roundedKeyNumber(s[0].start.x) + cleanup::roundedKeyNumber(s[0].start.y);
        for (const auto& g : s)
            t += cleanup::roundedKeyNumber(g.angle) + cleanup::roundedKeyNumber(g.end.x) +
                 cleanup::roundedKeyNumber(g.end.y);
        return t;
    };
    std::vector<cleanup::DuplicateSegment> rev;
    for (auto it = segs.rbegin(); it != segs.rend(); ++it) rev.push_back({it->end, it->start, -it->angle});
    std::vector<std::string> candidates;
    const std::size_t n = segs.size();
    for (const auto* seq : {&segs, &rev}) {
        for (std::size_t k = 0; k < (r.closed ? n : 1); ++k) {
            std::vector<cleanup::DuplicateSegment> rot;
            for (std::size_t j = 0; j < n; ++j) rot.push_back((*seq)[(j + k) % n]);
            candidates.push_back(traversal(rot));
        }
    }
    return prefix + *std::min_element(candidates.begin(), candidates.end());
}

}  // namespace

TEST(DuplicateKeys, NumbersAreRoundedToTheMillimetreAndPrintedWithABar) {
    for (auto [value, text] : {std::pair<double, std::string>{1.0, "1|"},
                               {0.0004, "0|"},
                               {-0.0004, "0|"},  // never "-0|"
                               {2.0006, cleanup::roundedKeyNumber(2.001)},
                               {5543210.1234, cformat("%.17g|", 5543210.123)}})
        EXPECT_EQ(cleanup::roundedKeyNumber(value), text) << value;
}

TEST(DuplicateKeys, RingsFromAnyVertexEitherWayAndOpenLinesBackwardsHaveOneKey) {
    const std::string ring = key({{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0}});
    EXPECT_EQ(ring.rfind("closed:", 0), 0u);
    EXPECT_EQ(key({{10, 5}, {0, 5}, {0, 0}, {10, 0}, {10, 5}}), ring);  // another start vertex
    EXPECT_EQ(key({{0, 0}, {0, 5}, {10, 5}, {10, 0}, {0, 0}}), ring);   // opposite direction
    EXPECT_EQ(key({{0, 5}, {0, 0}, {10, 0}, {10, 5}, {0, 5}}), ring);   // both
    EXPECT_NE(key({{0, 0}, {10, 0}, {10, 6}, {0, 5}, {0, 0}}), ring);   // one corner moved

    EXPECT_EQ(key({{7, 1}, {3, 4}, {0, 0}}), key({{0, 0}, {3, 4}, {7, 1}}));
    // Closed needs three points and an exactly equal end.
    EXPECT_EQ(key({{0, 0}, {3, 4}, {7, 1}, {0, 0.0001}}).rfind("open:", 0), 0u);
    EXPECT_EQ(key({{1, 1}, {1, 1}}).rfind("open:", 0), 0u);
}

TEST(DuplicateKeys, SubMillimetreNoiseMergesAndArcsSeparate) {
    const std::string k = key({{100.0, 200.0}, {150.0, 200.0}});
    EXPECT_EQ(key({{100.0002, 199.9997}, {150.0004, 200.0001}}), k);
    EXPECT_NE(key({{100.002, 200.0}, {150.0, 200.0}}), k);
    // The same points with an arc on the one segment are another drawing.
    EXPECT_NE(key({{100.0, 200.0}, {150.0, 200.0}}, {{0, 1, 0.5}}), k);
    // An arc walked backwards bulges the other way round: the same drawing.
    EXPECT_EQ(key({{150.0, 200.0}, {100.0, 200.0}}, {{0, 1, -0.5}}),
              key({{100.0, 200.0}, {150.0, 200.0}}, {{0, 1, 0.5}}));
    // Only an arc from i to i + 1 counts for segment i.
    EXPECT_EQ(key({{0, 0}, {1, 0}, {2, 0}}, {{0, 2, 1.0}}), key({{0, 0}, {1, 0}, {2, 0}}));
}

TEST(DuplicateKeys, TextKeyIsRoundedPositionThenContentBytes) {
    const cleanup::TextRecord a{.position = {10.0001, 20.0}, .content = "dz. 123/4"};
    EXPECT_EQ(cleanup::textKey(a), cleanup::textKey({.position = {10.0, 19.9996}, .content = "dz. 123/4"}));
    EXPECT_EQ(cleanup::textKey(a), "10|20|dz. 123/4");
}

TEST(DuplicateKeys, MatchesEveryCandidateBuiltInFullOnRandomShapes) {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> coord(0, 3);  // few values: many ties between candidates
    std::uniform_int_distribution<int> count(2, 9);
    std::uniform_real_distribution<double> angle(-2.0, 2.0);
    for (int round = 0; round < 3000; ++round) {
        std::vector<host::HostPoint2> pts;
        const int n = count(rng);
        for (int i = 0; i < n; ++i) pts.push_back({5543000.0 + coord(rng) * 0.5, 6000000.0 - coord(rng) * 0.25});
        if (round % 2 == 0) pts.push_back(pts.front());
        std::vector<host::PolylineArc> arcs;
        if (round % 3 == 0) arcs.push_back({1, 2, angle(rng)});
        const cleanup::PolylineRecord r = record(pts, arcs);
        ASSERT_EQ(cleanup::polylineKey(r), referenceKey(r)) << "round " << round;
    }
    // A regular ring: every rotation ties for a long stretch.
    std::vector<host::HostPoint2> star;
    for (int i = 0; i < 24; ++i) star.push_back({i % 2 ? 1.0 : 2.0, 0.0});
    star.push_back(star.front());
    EXPECT_EQ(cleanup::polylineKey(record(star)), referenceKey(record(star)));
}
