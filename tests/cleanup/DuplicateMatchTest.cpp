// Which polylines and texts are the same drawing: start vertex, direction, arcs, and a tolerance of half a
// millimetre that no rounding boundary splits.
#include <gtest/gtest.h>

#include <random>

#include "cleanup/DuplicateMatch.h"

namespace {

cleanup::PolylineRecord record(std::vector<host::HostPoint2> pts, std::vector<host::PolylineArc> arcs = {}) {
    cleanup::PolylineRecord r;
    r.closed = cleanup::isClosedPolyline(pts);
    r.points = std::move(pts);
    r.arcs = std::move(arcs);
    return r;
}

bool same(std::vector<host::HostPoint2> a, std::vector<host::HostPoint2> b, std::vector<host::PolylineArc> arcsA = {},
          std::vector<host::PolylineArc> arcsB = {}) {
    return cleanup::samePolyline(record(std::move(a), std::move(arcsA)), record(std::move(b), std::move(arcsB)));
}

}  // namespace

TEST(DuplicateMatch, PolylinesFromAnyStartEitherWayWithinHalfAMillimetre) {
    const std::vector<host::HostPoint2> ring = {{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0}};
    struct Case {
        const char* what;
        std::vector<host::HostPoint2> other;
        bool same;
    };
    const std::vector<Case> rings = {
        {"another start vertex", {{10, 5}, {0, 5}, {0, 0}, {10, 0}, {10, 5}}, true},
        {"opposite direction", {{0, 0}, {0, 5}, {10, 5}, {10, 0}, {0, 0}}, true},
        {"both", {{0, 5}, {0, 0}, {10, 0}, {10, 5}, {0, 5}}, true},
        {"one corner moved", {{0, 0}, {10, 0}, {10, 6}, {0, 5}, {0, 0}}, false},
        {"open with the same points", {{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0.0001}}, false},
    };
    for (const Case& c : rings) EXPECT_EQ(same(ring, c.other), c.same) << c.what;

    const std::vector<host::HostPoint2> line = {{100.0, 200.0}, {150.0, 200.0}};
    const std::vector<Case> lines = {
        {"backwards", {{150.0, 200.0}, {100.0, 200.0}}, true},
        {"sub-millimetre noise", {{100.0002, 199.9997}, {150.0004, 200.0001}}, true},
        {"two millimetres", {{100.002, 200.0}, {150.0, 200.0}}, false},
        {"0.6 mm", {{100.0006, 200.0}, {150.0, 200.0}}, false},
        {"another vertex count", {{100.0, 200.0}, {125.0, 200.0}, {150.0, 200.0}}, false},
    };
    for (const Case& c : lines) EXPECT_EQ(same(line, c.other), c.same) << c.what;
    // Two points 0.2 um apart across a rounding step of the millimetre (x.0005) are one point.
    EXPECT_TRUE(same({{5543210.0004999, 10.0}, {5543220.0, 10.0}}, {{5543210.0005001, 10.0}, {5543220.0, 10.0}}));

    // Arcs: one on the only segment is another drawing; walked backwards it bulges the other way round.
    EXPECT_FALSE(same(line, line, {}, {{0, 1, 0.5}}));
    EXPECT_TRUE(same(line, {{150.0, 200.0}, {100.0, 200.0}}, {{0, 1, 0.5}}, {{0, 1, -0.5}}));
    // Only an arc from i to i + 1 counts for segment i.
    EXPECT_TRUE(same({{0, 0}, {1, 0}, {2, 0}}, {{0, 0}, {1, 0}, {2, 0}}, {{0, 2, 1.0}}));
}

TEST(DuplicateMatch, TextsWithinHalfAMillimetreAndTheSameContentRepeat) {
    const std::vector<cleanup::TextRecord> texts = {{0, 1, 0, {10.0004999, 20.0}, "dz. 123/4"},
                                                    {1, 1, 0, {10.0005001, 19.9998}, "dz. 123/4"},  // across x.0005
                                                    {2, 1, 0, {10.0, 20.0}, "dz. 123/5"},
                                                    {3, 1, 0, {10.0011, 20.0}, "dz. 123/4"}};
    EXPECT_EQ(cleanup::laterDuplicateTexts(texts), (std::vector<std::size_t>{1}));
}

TEST(DuplicateMatch, LaterDuplicatesFindEveryPairAComparisonOfAllPairsFinds) {
    // Noisy copies of a few shapes around cell boundaries: the grouping by cells must miss no pair.
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> shape(0, 5);
    std::uniform_real_distribution<double> noise(-0.0007, 0.0007);
    std::vector<cleanup::PolylineRecord> records;
    for (std::size_t i = 0; i < 600; ++i) {
        const int s = shape(rng);
        std::vector<host::HostPoint2> pts;
        for (int k = 0; k < 3 + s % 3; ++k)
            pts.push_back({5543000.0005 + s + k * 0.5 + noise(rng), 6000000.0005 - k * 0.25 + noise(rng)});
        if (s % 2 == 0) pts.push_back(pts.front());
        cleanup::PolylineRecord r = record(pts);
        r.index = i;
        records.push_back(std::move(r));
    }
    std::vector<std::size_t> expected;
    for (std::size_t i = 0; i < records.size(); ++i)
        for (std::size_t j = 0; j < i; ++j) {
            // A record repeats an earlier survivor; survivors are those not repeating any earlier survivor.
            if (std::find(expected.begin(), expected.end(), j) != expected.end()) continue;
            if (cleanup::samePolyline(records[j], records[i])) {
                expected.push_back(i);
                break;
            }
        }
    EXPECT_EQ(cleanup::laterDuplicatePolylines(records), expected);
    EXPECT_GT(expected.size(), 100u);
}
