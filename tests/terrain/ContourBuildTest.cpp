// The contour computation from sheets as the user sees it: the step, the notes and the summary (the notes of
// flat and empty frames are checked end to end in the elevation session tests).
#include <gtest/gtest.h>

#include <cmath>

#include "TerrainTestUtil.h"

using grid::ElevationGrid;
using namespace terrain;
using namespace terrain_test;

namespace {

// A sheet over the frame with heights from a function of the cell centre.
template <class F>
ElevationGrid makeSheet(double x0, double y0, double cell, int ncols, int nrows, F height) {
    ElevationGrid g{ncols, nrows, x0, y0, cell, -9999.0, {}};
    for (int r = nrows - 1; r >= 0; --r)
        for (int c = 0; c < ncols; ++c) g.values.push_back(height(x0 + (c + 0.5) * cell, y0 + (r + 0.5) * cell));
    return g;
}

ElevationGrid hills() { return loadSheet(ascData("hills.asc")); }

ContourBuildResult run(const ContourRequest& request, const std::vector<ElevationGrid>& grids) {
    return buildContours(request, grids, {}, {});
}

const geodesy::Bbox kHillsFrame{500000, 300000, 500039, 300039};

}  // namespace

TEST(ContourBuild, IntervalsOutsideTheAllowedOnesAreRefused) {
    ContourBuildResult r = run({kHillsFrame, 1, 0.3, false}, {hills()});
    EXPECT_TRUE(r.lines.empty());
    EXPECT_EQ(r.notes,
              std::vector<std::string>{"Poziomice: ciecie 0,30 m nie jest dozwolona wartoscia (dozwolone: 0,25 / "
                                       "0,5 / 1,0 / 2,0 m) - poziomice pominiete."});
    ContourBuildResult near = run({kHillsFrame, 1, 0.2500001, false}, {hills()});
    EXPECT_FALSE(near.lines.empty());
    EXPECT_EQ(near.summary, "Poziomice: " + std::to_string(near.lines.size()) + " warstwic, ciecie 0,25 m");
    // A hair off an allowed interval is that interval: levels at exact multiples of 0.25, lines as at 0.25.
    const ContourBuildResult exact = run({kHillsFrame, 1, 0.25, false}, {hills()});
    ASSERT_EQ(near.lines.size(), exact.lines.size());
    for (std::size_t i = 0; i < near.lines.size(); ++i) {
        EXPECT_EQ(near.lines[i].z, exact.lines[i].z);
        EXPECT_EQ(near.lines[i].points, exact.lines[i].points);
    }
}

TEST(ContourBuild, FrameTooLargeForTheStepAndCoarseStepNotes) {
    // 6 km x 2 km at step 1: the step becomes 6000 / 2999 and at interval 0.25 the lines will be angular.
    std::string stepNote;
    const geodesy::Bbox frame{400000, 500000, 406000, 502000};
    EXPECT_DOUBLE_EQ(contourStep(frame, 1, stepNote), 6000.0 / 2999.0);
    EXPECT_EQ(stepNote,
              "Poziomice: kadr za duzy dla kroku 1,00 m - siatka NMT ograniczona do 3000 wezlow na os. Uzyto "
              "kroku 2,00 m, aby zmiescic caly obszar.");
    std::string noNote = "stale";
    EXPECT_EQ(contourStep({0, 0, 2999, 2999}, 1, noNote), 1.0);
    EXPECT_EQ(noNote, "");

    ElevationGrid slope =
        makeSheet(400000, 500000, 100, 60, 20, [](double x, double) { return 100 + (x - 400000) / 1000; });
    ContourBuildResult r = run({frame, 1, 0.25, false}, {slope});
    ASSERT_EQ(r.notes.size(), 2u);
    EXPECT_EQ(r.notes[0], stepNote);
    EXPECT_EQ(r.notes[1],
              "Poziomice: ciecie 0,25 m jest drobne wzgledem kroku probkowania 2,00 m - warstwice beda "
              "kanciaste. Krok zostal zgrubiony przez limit gestosci dla tego kadru - zmniejsz kadr albo "
              "wybierz wieksze ciecie.");
    // 100.25 ... 105.75 on a plane rising 1 m per km; the frame's right and top edges lie outside the sheet.
    EXPECT_EQ(r.lines.size(), 23u);

    // A coarse step the user chose: the hint is to lower the step.
    ContourBuildResult coarse = run({kHillsFrame, 5, 0.5, false}, {hills()});
    ASSERT_EQ(coarse.notes.size(), 1u);
    EXPECT_EQ(coarse.notes[0],
              "Poziomice: ciecie 0,50 m jest drobne wzgledem kroku probkowania 5,00 m - warstwice beda "
              "kanciaste. Zmniejsz krok terenu.");
    EXPECT_TRUE(run({kHillsFrame, 5, 1.0, false}, {hills()}).notes.empty());
}

TEST(ContourGridSmoothing, BandsOnSeveralThreadsGiveThePlainResult) {
    // Over half a million nodes: smoothed in at least two bands of rows wherever two cores run. Every 16 rows,
    // with the two rows either side that they read, are smoothed again alone (too few nodes to be split).
    ContourGrid g{0, 0, 2, 1000, 520, {}};
    for (int r = 0; r < g.ny; ++r)
        for (int c = 0; c < g.nx; ++c)
            g.heights.push_back((c * 7 + r * 13) % 50 == 0 ? NAN : 100 + std::sin(c * 0.05) * 3 + 0.1 * ((c + r) % 3));
    const std::vector<double> old = g.heights;
    smoothContourGrid(g, kGridSmoothSpatialSigma, kGridSmoothHeightSigma);
    const int R = 2;  // ceil(2 * 1.5 / 2)
    for (int r0 = 0; r0 < g.ny; r0 += 16) {
        const int from = std::max(r0 - R, 0), to = std::min(r0 + 16 + R, g.ny);
        ContourGrid piece{0, 0, g.step, g.nx, to - from, {old.begin() + from * g.nx, old.begin() + to * g.nx}};
        smoothContourGrid(piece, kGridSmoothSpatialSigma, kGridSmoothHeightSigma);
        for (int r = r0; r < std::min(r0 + 16, g.ny); ++r)
            for (int c = 0; c < g.nx; ++c) {
                const double want = piece.at(c, r - from), got = g.at(c, r);
                ASSERT_TRUE(got == want || (std::isnan(got) && std::isnan(want))) << c << "," << r;
            }
    }
}

TEST(ContourGridSmoothing, BilateralFilterKeepsBreaksAndGaps) {
    ContourGrid g{0, 0, 1, 12, 12, {}};
    for (int r = 0; r < 12; ++r)
        for (int c = 0; c < 12; ++c) g.heights.push_back((c < 6 ? 100.0 : 105.0) + ((r + c) % 2 ? 0.02 : -0.02));
    g.heights[5 * 12 + 3] = NAN;
    ContourGrid before = g;
    smoothContourGrid(g, kGridSmoothSpatialSigma, kGridSmoothHeightSigma);
    EXPECT_TRUE(std::isnan(g.heights[5 * 12 + 3]));
    for (std::size_t k = 0; k < g.heights.size(); ++k) {
        if (std::isnan(before.heights[k])) continue;
        const double base = (k % 12) < 6 ? 100.0 : 105.0;
        // The 5 m break stays where it was; the 2 cm ripple is flattened.
        EXPECT_NEAR(g.heights[k], base, 0.015) << k;
    }
}
