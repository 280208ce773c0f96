// Contour tracing against a plain per-level tracer, zone-sized coordinates, caps, cancel and progress.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <random>

#include "TerrainTestUtil.h"

using namespace terrain;
using namespace terrain_test;
using geodesy::PlanarPoint;

namespace {

// ---- A straightforward tracer: one sweep per level, segments joined through a sorted multimap. ----

long long refKey(PlanarPoint p) { return std::llround(p.x * 1000) * 4000000000LL + std::llround(p.y * 1000); }

std::vector<ContourLine> referenceTrace(const ContourGrid& g, double interval, int maxContours, std::size_t maxPoints,
                                        std::string& note) {
    std::vector<ContourLine> out;
    double lo = INFINITY, hi = -INFINITY;
    for (double h : g.heights)
        if (!std::isnan(h)) lo = std::min(lo, h), hi = std::max(hi, h);
    if (g.nx < 2 || g.ny < 2 || lo > hi) return out;
    const long long k0 = static_cast<long long>(std::ceil(lo / interval));
    long long levels = static_cast<long long>(std::floor(hi / interval)) - k0 + 1;
    const bool truncated = levels > maxContours;
    if (truncated) levels = maxContours;
    std::size_t total = 0;
    for (long long i = 0; i < levels; ++i) {
        const double z = static_cast<double>(k0 + i) * interval;
        std::vector<std::array<PlanarPoint, 2>> segs;
        for (int r = 0; r + 1 < g.ny; ++r) {
            for (int c = 0; c + 1 < g.nx; ++c) {
                const int cs[4] = {c, c + 1, c + 1, c}, rs[4] = {r, r, r + 1, r + 1};  // A B C D
                double hv[4];
                bool hole = false;
                for (int k = 0; k < 4; ++k) hole |= std::isnan(hv[k] = g.heights[std::size_t(rs[k]) * g.nx + cs[k]]);
                if (hole) continue;
                const int edges[4][2] = {{0, 1}, {1, 2}, {3, 2}, {0, 3}};  // AB BC DC AD
                PlanarPoint px[4];
                std::vector<int> crossed;
                for (int e = 0; e < 4; ++e) {
                    const int p = edges[e][0], q = edges[e][1];
                    if ((z > hv[p]) == (z > hv[q])) continue;
                    const double t = std::fabs(hv[q] - hv[p]) < 1e-12 ? 0.5 : (z - hv[p]) / (hv[q] - hv[p]);
                    const double xp = g.x0 + cs[p] * g.step, xq = g.x0 + cs[q] * g.step;
                    const double yp = g.y0 + rs[p] * g.step, yq = g.y0 + rs[q] * g.step;
                    px[e] = {xp + t * (xq - xp), yp + t * (yq - yp)};
                    crossed.push_back(e);
                }
                if (crossed.size() == 2) {
                    segs.push_back({px[crossed[0]], px[crossed[1]]});
                } else if (crossed.size() == 4) {
                    const double m = (hv[0] + hv[1] + hv[2] + hv[3]) / 4;
                    const bool withA = (z > m) == (z > hv[0]);
                    segs.push_back({px[0], px[withA ? 1 : 3]});
                    segs.push_back({px[withA ? 2 : 1], px[withA ? 3 : 2]});
                }
            }
        }
        std::multimap<long long, std::size_t> ends;
        for (std::size_t s = 0; s < segs.size(); ++s) {
            ends.emplace(refKey(segs[s][0]), s);
            ends.emplace(refKey(segs[s][1]), s);
        }
        std::vector<bool> used(segs.size());
        auto grow = [&](PlanarPoint end, bool atTail, std::vector<PlanarPoint>& line) {
            for (;;) {
                const long long key = refKey(end);
                auto [it, last] = ends.equal_range(key);
                while (it != last && used[it->second]) ++it;
                if (it == last) return;
                used[it->second] = true;
                const auto& s = segs[it->second];
                end = refKey(s[0]) == key ? s[1] : s[0];
                line.insert(atTail ? line.end() : line.begin(), end);
            }
        };
        for (std::size_t s = 0; s < segs.size(); ++s) {
            if (used[s]) continue;
            used[s] = true;
            std::vector<PlanarPoint> line{segs[s][0], segs[s][1]};
            grow(line.back(), true, line);
            grow(line.front(), false, line);
            double len = 0;
            for (std::size_t k = 1; k < line.size(); ++k)
                len += std::hypot(line[k].x - line[k - 1].x, line[k].y - line[k - 1].y);
            if (len < 1e-9) continue;
            if (static_cast<int>(out.size()) >= maxContours) return note = "truncated", out;
            total += line.size();
            out.push_back({z, (k0 + i) % 5 == 0, line});
            if (total > maxPoints) return note = "truncated", out;
        }
    }
    if (truncated) note = "truncated";
    return out;
}

void expectSameLines(const std::vector<ContourLine>& got, const std::vector<ContourLine>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
        ASSERT_EQ(got[i].z, want[i].z) << "line " << i;
        ASSERT_EQ(got[i].index, want[i].index) << "line " << i;
        ASSERT_EQ(got[i].points, want[i].points) << "line " << i << " at z " << got[i].z;
    }
}

}  // namespace

TEST(ContourTrace, SameLinesInTheSameOrderAsAPlainPerLevelTracer) {
    std::vector<std::pair<std::string, ContourGrid>> cases{
        {"hills", centreGrid(loadSheet(ascData("hills.asc")))},
        {"nodata", centreGrid(loadSheet(ascData("hills_nodata.asc")))}};
    {
        // Whole-number heights: levels through nodes, zero-length segments, flat edges and saddles on the level.
        std::mt19937 rng(7);
        ContourGrid g{1000.0, 2000.0, 1.0, 31, 27, {}};
        for (int i = 0; i < 31 * 27; ++i) g.heights.push_back(static_cast<double>(rng() % 5));
        g.heights[40] = NAN;
        cases.emplace_back("integer heights", g);
        // Nodes closer than a millimetre share keys: the segments are joined the general way.
        g.step = 0.0004;
        cases.emplace_back("sub-millimetre step", g);
    }
    {
        // Sampled from two overlapping sheets at a step that is not the cell size, and smoothed.
        std::vector<grid::ElevationGrid> grids{loadSheet(ascData("hills.asc")), loadSheet(ascData("hills_east.asc"))};
        ContourGrid g = buildContourGrid({500001.3, 300000.7, 500058.0, 300039.0}, 0.7, mosaicHeightSource(grids));
        smoothContourGrid(g, kGridSmoothSpatialSigma, kGridSmoothHeightSigma);
        cases.emplace_back("mosaic, smoothed", g);
    }
    if (std::filesystem::exists(testsupport::realdata("asc/landlab_pre_runout_DEM.asc")))
        for (const char* name : {"landlab_pre_runout_DEM.asc", "landlab_hugo_site.asc", "landlab_west_bijou_gully.asc"})
            cases.emplace_back(name, centreGrid(loadSheet(testsupport::realdata(std::string("asc/") + name))));
    for (const auto& [name, grid] : cases) {
        // Uncapped at a fine and a whole-metre interval, then with tight caps the same lines are kept before stopping.
        for (auto [interval, maxLines, maxPoints] : {std::tuple{0.25, kMaxContours, kMaxContourPoints},
                                                     {1.0, kMaxContours, kMaxContourPoints},
                                                     {0.25, 40, std::size_t{3000}}}) {
            SCOPED_TRACE(name + " interval " + std::to_string(interval) + " cap " + std::to_string(maxLines));
            std::string note, refNote;
            auto got = trace(grid, interval, note, maxLines, maxPoints);
            auto want = referenceTrace(grid, interval, maxLines, maxPoints, refNote);
            if (maxLines == kMaxContours) {
                EXPECT_FALSE(want.empty());
            }
            expectSameLines(got, want);
            EXPECT_EQ(note.empty(), refNote.empty());
        }
    }
}

TEST(ContourTrace, ZoneCoordinatesJoinLikeSmallOnes) {
    ContourGrid near = centreGrid(loadSheet(ascData("hills.asc")));
    std::string note;
    // PL-2000 eastings (millions of metres with the zone digit) and northings beyond 4000 km must join
    // segments exactly as coordinates near the origin do.
    near.x0 = 100.0;
    near.y0 = 200.0;
    ContourGrid far = near;
    far.x0 = 7500100.0;
    far.y0 = 5800200.0;
    auto a = trace(near, 0.5, note);
    auto b = trace(far, 0.5, note);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].points.size(), b[i].points.size()) << i;
        EXPECT_NEAR(b[i].points[0].x - 7500000.0, a[i].points[0].x, 1e-6);
    }
}

TEST(ContourTrace, CapsCancelAndProgress) {
    ContourGrid g = centreGrid(loadSheet(ascData("hills.asc")));
    std::string note = "Wczesniejsza uwaga.";
    // Line cap: exactly the cap kept, the note appended after one blank.
    EXPECT_EQ(trace(g, 0.25, note, 5).size(), 5u);
    EXPECT_EQ(note,
              "Wczesniejsza uwaga. Poziomice: za duzo danych dla wybranego ciecia - wynik ograniczony. Zwieksz "
              "ciecie albo zmniejsz kadr.");
    // Progress before every level, then a cancel before the fourth level keeps three levels' lines.
    std::vector<std::pair<int, int>> reports;
    int asked = 0;
    bool cancelled = false;
    note.clear();
    auto partial = traceContours(
        g, 0.5, note, kMaxContours, kMaxContourPoints, [&] { return ++asked > 3; }, cancelled,
        [&](int level, int levels) { return reports.emplace_back(level, levels), true; });
    EXPECT_TRUE(cancelled);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[2].first, 2);
    std::string fullNote;
    auto full = trace(g, 0.5, fullNote);
    ASSERT_FALSE(partial.empty());
    EXPECT_LE(partial.back().z, full.front().z + 2 * 0.5);
    for (std::size_t i = 0; i < partial.size(); ++i) EXPECT_EQ(partial[i].points, full[i].points);
    EXPECT_EQ(reports[0].second,
              static_cast<int>(std::floor(full.back().z / 0.5) - std::ceil(full.front().z / 0.5) + 1));
}

TEST(ContourTrace, DegenerateGridsGiveNothing) {
    const std::vector<std::tuple<const char*, ContourGrid, double>> cases{
        {"empty", ContourGrid{}, 1.0},
        {"flat", {0, 0, 1, 3, 3, std::vector<double>(9, 100.0)}, 1.0},
        {"nodata", {0, 0, 1, 3, 3, std::vector<double>(9, NAN)}, 1.0},
        {"negative interval", {0, 0, 1, 2, 2, {0, 10, 0, 10}}, -1.0},
        {"wrong size", {0, 0, 1, 3, 3, {0, 10, 0, 10}}, 1.0},
        {"absurd range", {0, 0, 1, 2, 2, {-1e300, 1e300, 0, 5}}, 0.25},
    };
    for (const auto& [name, grid, interval] : cases) {
        SCOPED_TRACE(name);
        std::string note;
        EXPECT_TRUE(trace(grid, interval, note).empty());
        EXPECT_TRUE(note.empty());
    }
}

#if !defined(__SANITIZE_ADDRESS__)
// The heaviest grid the contours command accepts: 3000 x 3000 nodes, every cell a saddle at every level,
// traced with the command's caps inside half a gigabyte of address space beyond what the process holds.
[[noreturn]] static void traceCheckerboardInLimitedSpace() {
    ContourGrid g{0.0, 0.0, 1.0, 3000, 3000, std::vector<double>(std::size_t{3000} * 3000)};
    for (int r = 0; r < 3000; ++r)
        for (int c = 0; c < 3000; ++c) g.heights[std::size_t(r) * 3000 + c] = (r + c) % 2 ? 100.0 : 0.0;
    std::size_t pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t limit = pages * 4096 + (rlim_t{512} << 20);
    const rlimit cap{limit, limit};
    setrlimit(RLIMIT_AS, &cap);
    std::string note;
    const auto lines = trace(g, 0.25, note);
    std::exit(lines.size() == static_cast<std::size_t>(kMaxContours) && !note.empty() ? 0 : 1);
}
#endif

TEST(ContourTrace, MemoryStaysAFixedMultipleOfTheGrid) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "address space limits do not apply under AddressSanitizer";
#else
    EXPECT_EXIT(traceCheckerboardInLimitedSpace(), ::testing::ExitedWithCode(0), "");
#endif
}
