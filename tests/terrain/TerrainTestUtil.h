// Sheets and grids shared by the terrain tests.
#pragma once
#include <gtest/gtest.h>

#include <cmath>

#include "formats/grid/AsciiGrid.h"
#include "support/TestSupport.h"
#include "terrain/Terrain.h"

namespace terrain_test {

inline std::filesystem::path ascData(const std::string& name) {
    return testsupport::sourceDir() / "tests/data/asc" / name;
}

inline grid::ElevationGrid loadSheet(const std::filesystem::path& p) {
    grid::ElevationGrid g;
    grid::AsciiGridStatus s = grid::readAsciiGridFile(g, p);
    EXPECT_TRUE(s.ok) << p << ": " << s.message;
    return g;
}

// Nodes at the sheet's cell centres, so the grid holds the sheet's own values (what gdal_contour sees).
inline terrain::ContourGrid centreGrid(const grid::ElevationGrid& e) {
    terrain::ContourGrid g{e.x0 + e.cellsize / 2, e.y0 + e.cellsize / 2, e.cellsize, e.ncols, e.nrows, {}};
    for (int r = 0; r < e.nrows; ++r)
        for (int c = 0; c < e.ncols; ++c) {
            const double v = e.values[static_cast<std::size_t>(e.nrows - 1 - r) * e.ncols + c];
            g.heights.push_back(v == e.nodata ? NAN : v);
        }
    return g;
}

inline std::vector<terrain::ContourLine> trace(const terrain::ContourGrid& g, double interval, std::string& note,
                                               int maxContours = terrain::kMaxContours,
                                               std::size_t maxPoints = terrain::kMaxContourPoints) {
    bool cancelled = false;
    return terrain::traceContours(g, interval, note, maxContours, maxPoints, {}, cancelled, {});
}

}  // namespace terrain_test
