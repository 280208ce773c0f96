// Contour tracing: equality with a plain per-level tracer, the saddle rule, caps, cancel and progress.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>

#include "formats/grid/AsciiGrid.h"
#include "support/TestSupport.h"
#include "terrain/Terrain.h"

using grid::AsciiGridStatus, grid::ElevationGrid, grid::readAsciiGridFile;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// ---- A straightforward tracer: one sweep per level, segments joined through a sorted multimap. ----

struct RefSeg {
    double x1, y1, x2, y2;
};

long long refKey(double x, double y) { return std::llround(x * 1000) * 4000000000LL + std::llround(y * 1000); }

std::vector<terrain::ContourLine> referenceTrace(const terrain::ContourGrid& g, double interval, int maxContours,
                                                 std::size_t maxPoints, std::string& note) {
    std::vector<terrain::ContourLine> out;
    double lo = INFINITY, hi = -INFINITY;
    for (double h : g.heights)
        if (!std::isnan(h)) lo = std::min(lo, h), hi = std::max(hi, h);
    if (g.nx < 2 || g.ny < 2 || lo > hi) return out;
    long long k0 = static_cast<long long>(std::ceil(lo / interval));
    long long levels = static_cast<long long>(std::floor(hi / interval)) - k0 + 1;
    bool truncated = false;
    if (levels > maxContours) levels = maxContours, truncated = true;
    std::size_t total = 0;
    auto h = [&](int c, int r) { return g.heights[static_cast<std::size_t>(r) * g.nx + c]; };
    for (long long i = 0; i < levels; ++i) {
        const double z = static_cast<double>(k0 + i) * interval;
        std::vector<RefSeg> segs;
        for (int r = 0; r + 1 < g.ny; ++r) {
            for (int c = 0; c + 1 < g.nx; ++c) {
                double hv[4] = {h(c, r), h(c + 1, r), h(c + 1, r + 1), h(c, r + 1)};  // A B C D
                double xs[4] = {g.x0 + c * g.step, g.x0 + (c + 1) * g.step, g.x0 + (c + 1) * g.step, g.x0 + c * g.step};
                double ys[4] = {g.y0 + r * g.step, g.y0 + r * g.step, g.y0 + (r + 1) * g.step, g.y0 + (r + 1) * g.step};
                if (std::isnan(hv[0]) || std::isnan(hv[1]) || std::isnan(hv[2]) || std::isnan(hv[3])) continue;
                const int edges[4][2] = {{0, 1}, {1, 2}, {3, 2}, {0, 3}};  // AB BC DC AD
                double px[4], py[4];
                bool crosses[4];
                int n = 0;
                for (int e = 0; e < 4; ++e) {
                    int p = edges[e][0], q = edges[e][1];
                    crosses[e] = (z > hv[p]) != (z > hv[q]);
                    if (!crosses[e]) continue;
                    double t = std::fabs(hv[q] - hv[p]) < 1e-12 ? 0.5 : (z - hv[p]) / (hv[q] - hv[p]);
                    px[e] = xs[p] + t * (xs[q] - xs[p]);
                    py[e] = ys[p] + t * (ys[q] - ys[p]);
                    ++n;
                }
                if (n == 2) {
                    int a = -1, b = -1;
                    for (int e = 0; e < 4; ++e)
                        if (crosses[e]) (a < 0 ? a : b) = e;
                    segs.push_back({px[a], py[a], px[b], py[b]});
                } else if (n == 4) {
                    double m = (hv[0] + hv[1] + hv[2] + hv[3]) / 4;
                    if ((z > m) == (z > hv[0])) {
                        segs.push_back({px[0], py[0], px[1], py[1]});
                        segs.push_back({px[2], py[2], px[3], py[3]});
                    } else {
                        segs.push_back({px[0], py[0], px[3], py[3]});
                        segs.push_back({px[1], py[1], px[2], py[2]});
                    }
                }
            }
        }
        std::multimap<long long, std::size_t> ends;
        for (std::size_t s = 0; s < segs.size(); ++s) {
            ends.emplace(refKey(segs[s].x1, segs[s].y1), s);
            ends.emplace(refKey(segs[s].x2, segs[s].y2), s);
        }
        std::vector<bool> used(segs.size());
        auto grow = [&](geodesy::PlanarPoint end, bool atTail, std::vector<geodesy::PlanarPoint>& line) {
            for (;;) {
                const long long key = refKey(end.x, end.y);
                auto [first, last] = ends.equal_range(key);
                auto it = first;
                while (it != last && used[it->second]) ++it;
                if (it == last) return;
                const RefSeg& s = segs[it->second];
                used[it->second] = true;
                geodesy::PlanarPoint other =
                    refKey(s.x1, s.y1) == key ? geodesy::PlanarPoint{s.x2, s.y2} : geodesy::PlanarPoint{s.x1, s.y1};
                if (atTail) line.push_back(other);
                else line.insert(line.begin(), other);
                end = other;
            }
        };
        for (std::size_t s = 0; s < segs.size(); ++s) {
            if (used[s]) continue;
            used[s] = true;
            std::vector<geodesy::PlanarPoint> line{{segs[s].x1, segs[s].y1}, {segs[s].x2, segs[s].y2}};
            grow(line.back(), true, line);
            grow(line.front(), false, line);
            double len = 0;
            for (std::size_t k = 1; k < line.size(); ++k)
                len += std::hypot(line[k].x - line[k - 1].x, line[k].y - line[k - 1].y);
            if (len < 1e-9) continue;
            if (static_cast<int>(out.size()) >= maxContours) {
                note = "truncated";
                return out;
            }
            total += line.size();
            out.push_back({z, (k0 + i) % 5 == 0, line});
            if (total > maxPoints) {
                note = "truncated";
                return out;
            }
        }
    }
    if (truncated) note = "truncated";
    return out;
}

// ---- helpers ----

terrain::ContourGrid gridFromSheet(const ElevationGrid& e) {
    // Nodes at the cell centres, so the grid holds the sheet's own values.
    terrain::ContourGrid g;
    g.x0 = e.x0 + e.cellsize / 2;
    g.y0 = e.y0 + e.cellsize / 2;
    g.step = e.cellsize;
    g.nx = e.ncols;
    g.ny = e.nrows;
    g.heights.resize(e.values.size());
    for (int r = 0; r < e.nrows; ++r)
        for (int c = 0; c < e.ncols; ++c) {
            double v = e.values[static_cast<std::size_t>(e.nrows - 1 - r) * e.ncols + c];
            g.heights[static_cast<std::size_t>(r) * e.ncols + c] = v == e.nodata ? kNaN : v;
        }
    return g;
}

ElevationGrid sheet(const std::filesystem::path& p) {
    ElevationGrid g;
    AsciiGridStatus s = readAsciiGridFile(g, p);
    EXPECT_TRUE(s.ok) << s.message;
    return g;
}

std::filesystem::path ascData(const std::string& name) { return testsupport::sourceDir() / "tests/data/asc" / name; }

std::vector<terrain::ContourLine> trace(const terrain::ContourGrid& g, double interval, std::string& note,
                                        int maxContours = terrain::kMaxContours,
                                        std::size_t maxPoints = terrain::kMaxContourPoints) {
    bool cancelled = false;
    return terrain::traceContours(g, interval, note, maxContours, maxPoints, {}, cancelled, {});
}

void expectSameLines(const std::vector<terrain::ContourLine>& got, const std::vector<terrain::ContourLine>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].z, want[i].z) << "line " << i;
        ASSERT_EQ(got[i].index, want[i].index) << "line " << i;
        ASSERT_EQ(got[i].points, want[i].points) << "line " << i << " at z " << got[i].z;
    }
}

}  // namespace

TEST(ContourTrace, SameLinesInTheSameOrderAsAPlainPerLevelTracer) {
    struct Case {
        std::string name;
        terrain::ContourGrid grid;
    };
    std::vector<Case> cases;
    cases.push_back({"hills", gridFromSheet(sheet(ascData("hills.asc")))});
    cases.push_back({"hills with nodata", gridFromSheet(sheet(ascData("hills_nodata.asc")))});
    {
        // Whole-number heights: levels through nodes, zero-length segments, flat edges and saddles on the level.
        std::mt19937 rng(7);
        terrain::ContourGrid g{1000.0, 2000.0, 1.0, 31, 27, {}};
        for (int i = 0; i < 31 * 27; ++i) g.heights.push_back(static_cast<double>(rng() % 5));
        g.heights[40] = kNaN;
        cases.push_back({"integer heights", g});
    }
    {
        // Sampled from two overlapping sheets at a step that is not the cell size, and smoothed.
        std::vector<ElevationGrid> grids{sheet(ascData("hills.asc")), sheet(ascData("hills_east.asc"))};
        terrain::ContourGrid g = terrain::buildContourGrid({500001.3, 300000.7, 500058.0, 300039.0}, 0.7,
                                                           terrain::mosaicHeightSource(grids));
        terrain::smoothContourGrid(g, terrain::kGridSmoothSpatialSigma, terrain::kGridSmoothHeightSigma);
        cases.push_back({"mosaic, smoothed", g});
    }
    if (std::filesystem::exists(testsupport::realdata("asc/landlab_pre_runout_DEM.asc"))) {
        cases.push_back({"pre_runout", gridFromSheet(sheet(testsupport::realdata("asc/landlab_pre_runout_DEM.asc")))});
        cases.push_back({"hugo_site", gridFromSheet(sheet(testsupport::realdata("asc/landlab_hugo_site.asc")))});
        cases.push_back(
            {"west_bijou", gridFromSheet(sheet(testsupport::realdata("asc/landlab_west_bijou_gully.asc")))});
    }
    for (const auto& c : cases) {
        for (double interval : {0.25, 0.5, 1.0, 2.0}) {
            SCOPED_TRACE(c.name + " interval " + std::to_string(interval));
            std::string note, refNote;
            auto got = trace(c.grid, interval, note);
            auto want = referenceTrace(c.grid, interval, terrain::kMaxContours, terrain::kMaxContourPoints, refNote);
            EXPECT_FALSE(want.empty());
            expectSameLines(got, want);
            EXPECT_EQ(note.empty(), refNote.empty());
        }
    }
    // With tight caps the same lines are kept before stopping.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + " capped");
        std::string note, refNote;
        expectSameLines(trace(c.grid, 0.25, note, 40, 3000), referenceTrace(c.grid, 0.25, 40, 3000, refNote));
        EXPECT_EQ(note.empty(), refNote.empty());
    }
}

TEST(ContourTrace, SaddleCellsFollowTheCentreAverage) {
    // A = (0,0) 0, B = (1,0) 0.6, C = (1,1) 0, D = (0,1) 0.6; level 0.5 crosses all four edges.
    terrain::ContourGrid g{0.0, 0.0, 1.0, 2, 2, {0.0, 0.6, 0.6, 0.0}};
    g.heights = {0.0, 0.6, 0.6, 0.0};  // row 0: A B; row 1: D C
    std::string note;
    // Centre average 0.3 lies below the level, as A does: AB joins BC and DC joins AD.
    auto lines = trace(g, 0.5, note);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].z, 0.5);
    EXPECT_FALSE(lines[0].index);
    EXPECT_EQ(lines[0].points, (std::vector<geodesy::PlanarPoint>{{0.5 / 0.6, 0.0}, {1.0, (0.5 - 0.6) / (0.0 - 0.6)}}));
    EXPECT_EQ(lines[1].points, (std::vector<geodesy::PlanarPoint>{{(0.5 - 0.6) / (0.0 - 0.6), 1.0}, {0.0, 0.5 / 0.6}}));
    // Raise the low corners so the average lies above the level: AB joins AD, BC joins DC.
    g.heights = {0.45, 0.9, 0.9, 0.45};
    lines = trace(g, 0.5, note);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].points[1].x, 0.0);  // ends on AD
    EXPECT_EQ(lines[1].points[0].x, 1.0);  // starts on BC
}

TEST(ContourTrace, RingsCloseAndIndexLevelsAreMarked) {
    std::string note;
    auto lines = trace(gridFromSheet(sheet(ascData("hills.asc"))), 1.0, note);
    ASSERT_FALSE(lines.empty());
    int closed = 0;
    for (const auto& l : lines) {
        EXPECT_EQ(l.index, std::fmod(l.z, 5.0) == 0.0);
        if (l.points.front() == l.points.back()) ++closed;
    }
    EXPECT_GE(closed, 2);  // at least the tops of both hills
    EXPECT_TRUE(note.empty());
}

TEST(ContourTrace, ZoneCoordinatesJoinLikeSmallOnes) {
    // PL-2000 eastings (millions of metres with the zone digit) and northings beyond 4000 km must join
    // segments exactly as coordinates near the origin do.
    terrain::ContourGrid near = gridFromSheet(sheet(ascData("hills.asc")));
    near.x0 = 100.0;
    near.y0 = 200.0;
    terrain::ContourGrid far = near;
    far.x0 = 7500100.0;
    far.y0 = 5800200.0;
    std::string note;
    auto a = trace(near, 0.5, note);
    auto b = trace(far, 0.5, note);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].points.size(), b[i].points.size()) << i;
        EXPECT_EQ(a[i].points.front() == a[i].points.back(), b[i].points.front() == b[i].points.back()) << i;
        EXPECT_NEAR(b[i].points[0].x - 7500000.0, a[i].points[0].x, 1e-6);
    }
}

TEST(ContourTrace, CapsCancelAndProgress) {
    terrain::ContourGrid g = gridFromSheet(sheet(ascData("hills.asc")));
    std::string note = "Wczesniejsza uwaga.";
    // Line cap: exactly the cap kept, the note appended after one blank.
    auto capped = trace(g, 0.25, note, 5);
    EXPECT_EQ(capped.size(), 5u);
    EXPECT_EQ(note,
              "Wczesniejsza uwaga. Poziomice: za duzo danych dla wybranego ciecia - wynik ograniczony. Zwieksz "
              "ciecie albo zmniejsz kadr.");
    // Point cap: stops after the line that went past it.
    note.clear();
    auto pointCapped = trace(g, 0.25, note, terrain::kMaxContours, 100);
    std::size_t total = 0;
    for (const auto& l : pointCapped) total += l.points.size();
    EXPECT_GT(total, 100u);
    EXPECT_LE(total - pointCapped.back().points.size(), 100u);
    EXPECT_FALSE(note.empty());

    // Progress before every level, then a cancel before the fourth level keeps three levels' lines.
    std::vector<std::pair<int, int>> reports;
    int asked = 0;
    bool cancelled = false;
    note.clear();
    auto partial = terrain::traceContours(
        g, 0.5, note, terrain::kMaxContours, terrain::kMaxContourPoints, [&] { return ++asked > 3; }, cancelled,
        [&](int level, int levels) {
            reports.emplace_back(level, levels);
            return true;
        });
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(note, "Poziomice: przerwano przez uzytkownika.");
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2].first, 2);
    std::string fullNote;
    auto full = trace(g, 0.5, fullNote);
    ASSERT_FALSE(partial.empty());
    EXPECT_LE(partial.back().z, full.front().z + 2 * 0.5);
    for (std::size_t i = 0; i < partial.size(); ++i) EXPECT_EQ(partial[i].points, full[i].points);
    EXPECT_GT(full.size(), partial.size());
    EXPECT_EQ(reports[0].second,
              static_cast<int>(std::floor(full.back().z / 0.5) - std::ceil(full.front().z / 0.5) + 1));
}

TEST(ContourTrace, DegenerateGridsGiveNothing) {
    std::string note;
    EXPECT_TRUE(trace(terrain::ContourGrid{}, 1.0, note).empty());
    terrain::ContourGrid flat{0, 0, 1, 3, 3, std::vector<double>(9, 100.0)};
    EXPECT_TRUE(trace(flat, 1.0, note).empty());
    terrain::ContourGrid nodata{0, 0, 1, 3, 3, std::vector<double>(9, kNaN)};
    EXPECT_TRUE(trace(nodata, 1.0, note).empty());
    terrain::ContourGrid slope{0, 0, 1, 2, 2, {0, 10, 0, 10}};
    EXPECT_TRUE(trace(slope, 0.0, note).empty());
    EXPECT_TRUE(trace(slope, -1.0, note).empty());
    terrain::ContourGrid wrongSize{0, 0, 1, 3, 3, {0, 10, 0, 10}};
    EXPECT_TRUE(trace(wrongSize, 1.0, note).empty());
    terrain::ContourGrid absurd{0, 0, 1, 2, 2, {-1e300, 1e300, 0, 5}};
    EXPECT_TRUE(trace(absurd, 0.25, note).empty());
    EXPECT_TRUE(note.empty());
}
