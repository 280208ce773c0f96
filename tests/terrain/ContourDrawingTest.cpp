// What placement draws from contours: smoothed lines and elevation labels.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "terrain/Terrain.h"

namespace {

terrain::ContourLine line(double z, bool index, std::vector<geodesy::PlanarPoint> pts) {
    return {z, index, std::move(pts)};
}

bool contains(const std::vector<geodesy::PlanarPoint>& pts, geodesy::PlanarPoint p) {
    for (const auto& q : pts)
        if (std::fabs(q.x - p.x) < 1e-12 && std::fabs(q.y - p.y) < 1e-12) return true;
    return false;
}

}  // namespace

TEST(ContourSmoothing, OpenLinesKeepTheirEndsAndRingsStayClosed) {
    std::vector<terrain::ContourLine> lines{
        line(100, true, {{0, 0}, {10, 0}, {10, 10}, {20, 10}}),
        line(101, false, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}),
        line(102, false, {{0, 0}, {5, 5}}),          // too short to smooth
        line(103, false, {{0, 0}, {5, 5}, {0, 0}}),  // a ring of two distinct points
        line(104, false, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}),
    };
    const auto original = lines;
    terrain::smoothContours(lines, terrain::kContourSmoothPasses, terrain::kContourSimplifyTolerance);

    const auto& open = lines[0].points;
    EXPECT_EQ(open.front(), (geodesy::PlanarPoint{0, 0}));
    EXPECT_EQ(open.back(), (geodesy::PlanarPoint{20, 10}));
    // Corners are cut: the sharp corner point itself is gone.
    EXPECT_FALSE(contains(open, {10, 0}));

    const auto& ring = lines[1].points;
    EXPECT_EQ(ring.front(), ring.back());
    // The point where the ring starts after cutting lies on the bottom side, 0.35 m off the chord of its
    // neighbours: it must stay.
    EXPECT_TRUE(contains(ring, {3.75, 0}));

    EXPECT_EQ(lines[2].points, original[2].points);
    EXPECT_EQ(lines[3].points, original[3].points);
    // Collinear points collapse to the line's two ends.
    EXPECT_EQ(lines[4].points, (std::vector<geodesy::PlanarPoint>{{0, 0}, {4, 0}}));
}

TEST(ContourLabels, PositionsAnglesAndTexts) {
    constexpr double pi = std::numbers::pi;
    struct Case {
        const char* name;
        terrain::ContourLine line;
        std::size_t count, at;
        double x, y, angle;
        const char* text;
    };
    const terrain::ContourLine long130 = line(105.5, true, {{0, 0}, {100, 0}, {100, 30}});
    const std::vector<Case> cases{
        {"40 m index contour: one label at mid-length", line(100, true, {{0, 0}, {40, 0}}), 1, 0, 20, 0, 0, "100,00"},
        {"130 m over two segments: at 25 m", long130, 3, 0, 25, 0, 0, "105,50"},
        {"130 m over two segments: at 125 m", long130, 3, 2, 100, 25, pi / 2, "105,50"},
        // Right to left and downward segments are turned by a half turn so the text stays upright.
        {"leftward", line(-2.25, true, {{40, 10}, {0, 10}}), 1, 0, 20, 10, 0.0, "-2,25"},
        {"downward", line(0, true, {{0, 10}, {0, 0}}), 1, 0, 0, 5, pi / 2, "0,00"},
        {"diagonal", line(0, true, {{10, 10}, {0, 0}}), 1, 0, 5, 5, pi / 4, "0,00"},
        // A zero-length first segment holds no label; the label lands on the next one.
        {"zero-length first segment", line(1, true, {{0, 0}, {0, 0}, {10, 0}}), 1, 0, 5, 0, 0, "1,00"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto labels = terrain::labelsForContour(c.line);
        ASSERT_EQ(labels.size(), c.count);
        EXPECT_EQ(labels[c.at].x, c.x);
        EXPECT_DOUBLE_EQ(labels[c.at].y, c.y);
        EXPECT_DOUBLE_EQ(labels[c.at].angle, c.angle);
        EXPECT_EQ(labels[c.at].text, c.text);
    }
    EXPECT_TRUE(terrain::labelsForContour(line(101, false, {{0, 0}, {40, 0}})).empty());  // not an index line
    EXPECT_TRUE(terrain::labelsForContour(line(100, true, {{3, 3}, {3, 3}})).empty());
}
