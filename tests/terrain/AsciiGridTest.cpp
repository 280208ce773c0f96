// ESRI ASCII grid reading and height sampling, on real grids and on grids made for the failure cases.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <locale>
#include <random>
#include <sstream>

#include <nlohmann/json.hpp>

#include "TerrainTestUtil.h"

using grid::AsciiGridStatus, grid::ElevationGrid, grid::mosaicSample, grid::parseAsciiGrid, grid::readAsciiGridFile,
    grid::sampleGrid;

namespace {

using terrain_test::ascData;
using testsupport::readFile;
using testsupport::realdata;

ElevationGrid parseOk(const std::string& text) {
    ElevationGrid g;
    AsciiGridStatus s = parseAsciiGrid(g, text);
    EXPECT_TRUE(s.ok) << s.message;
    return g;
}

// A deliberately plain reader (classic-locale stream) to check the fast scanner's values against.
std::vector<double> streamValues(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    std::string word;
    double number = 0;
    for (int i = 0; i < 6; ++i) in >> word >> number;
    std::vector<double> values;
    while (in >> number) values.push_back(number);
    return values;
}

}  // namespace

TEST(AsciiGridParse, RealGridsGiveTheSameValuesAsAPlainStreamReader) {
    GD_REQUIRE_REALDATA("asc/landlab_pre_runout_DEM.asc");
    for (const char* name : {"landlab_pre_runout_DEM.asc", "landlab_hugo_site.asc", "landlab_west_bijou_gully.asc",
                             "landlab_SRTMGL3_40.09_-105.56.asc", "landlab_4_x_3.asc"}) {
        SCOPED_TRACE(name);
        const std::string text = readFile(realdata(std::string("asc/") + name));
        ElevationGrid g = parseOk(text);
        std::vector<double> expected = streamValues(text);
        ASSERT_EQ(g.values.size(), static_cast<std::size_t>(g.ncols) * g.nrows);
        expected.resize(g.values.size());
        EXPECT_EQ(g.values, expected);
    }
    const ElevationGrid pre = parseOk(readFile(realdata("asc/landlab_pre_runout_DEM.asc")));
    EXPECT_EQ(std::tuple(pre.ncols, pre.nrows, pre.x0, pre.cellsize), std::tuple(80, 122, 361015.59563119, 10.0));
    EXPECT_EQ(parseOk(readFile(realdata("asc/landlab_west_bijou_gully.asc"))).nodata, 0.0);
}

TEST(AsciiGridParse, HeaderVariants) {
    // The centre keys name the middle of the lower-left cell: the origin is half a cell further west and south,
    // whichever key comes first (here the cell size comes last).
    ElevationGrid centre = parseOk(
        "ncols 2 nrows 1 XLLCENTER 500000.5 yllcenter 200000.25 nodata_value -9999 "
        "cellsize 0.9993671653521061 1 2");
    EXPECT_EQ(std::tuple(centre.x0, centre.y0),
              std::tuple(500000.5 - 0.9993671653521061 / 2, 200000.25 - 0.9993671653521061 / 2));

    // A repeated key: the last value wins and six pairs are still read; nodata keeps its default.
    ElevationGrid repeated = parseOk("ncols 9 nrows 1 xllcorner 5 yllcorner 6 cellsize 2 ncols 2\n7 8\ntrailing text");
    EXPECT_EQ(repeated.ncols, 2);
    EXPECT_EQ(repeated.nodata, -9999.0);
    EXPECT_EQ(repeated.values, (std::vector<double>{7, 8}));

    // Counts are truncated toward zero; '+' signs, exponents, CRLF and a byte-order mark are read.
    ElevationGrid odd = parseOk(
        "\xEF\xBB\xBFNCOLS 2.9\r\nNROWS 1\r\nXLLCORNER +1e2\r\nYLLCORNER -0\r\nCELLSIZE 1.\r\n"
        "NODATA_VALUE -9999\r\n+1.5e1 -2.\r\n");
    EXPECT_EQ(odd.x0, 100.0);
    EXPECT_EQ(odd.values, (std::vector<double>{15.0, -2.0}));
}

TEST(AsciiGridParse, CentreReferencedGridsLieWhereGdalPutsThem) {
    GD_REQUIRE_REALDATA("asc/avaframe_avaGar_xllcenter.asc");
    if (std::system("command -v gdalinfo >/dev/null 2>&1") != 0) GTEST_SKIP() << "gdalinfo is not installed";
    testsupport::TempDir dir;
    for (const char* name : {"avaframe_avaGar_xllcenter.asc", "landlab_rainfall_xllcenter.asc",
                             "avaframe_relGar_null_dfa_ppr_xllcorner.asc", "landlab_hugo_site.asc"}) {
        SCOPED_TRACE(name);
        const std::string path = realdata(std::string("asc/") + name).string();
        const std::string info = (dir / "info.json").string();
        ASSERT_EQ(std::system(("gdalinfo -json '" + path + "' > '" + info + "' 2>/dev/null").c_str()), 0);
        const nlohmann::json gdal = nlohmann::json::parse(readFile(info));
        const ElevationGrid g = parseOk(readFile(path));
        // GDAL's transform: the raster's upper-left corner and the cell size.
        EXPECT_NEAR(g.x0, gdal["geoTransform"][0].get<double>(), 1e-6);
        EXPECT_NEAR(g.y0 + g.nrows * g.cellsize, gdal["geoTransform"][3].get<double>(), 1e-6);
    }
    // The DEM's corner is its corner-referenced twin's within the 1.16 mm of their different cell sizes.
    const ElevationGrid dem = parseOk(readFile(realdata("asc/avaframe_avaGar_xllcenter.asc")));
    const ElevationGrid twin = parseOk(readFile(realdata("asc/avaframe_relGar_null_dfa_ppr_xllcorner.asc")));
    EXPECT_NEAR(dem.x0, twin.x0, 0.0012);
    EXPECT_NEAR(dem.y0, twin.y0, 0.0012);
}

TEST(AsciiGridParse, BadHeadersValuesAndCutOffSheetsAreRefused) {
    ElevationGrid g;
    for (const char* text :
         {"ncols 0 nrows 2 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1 2",
          "ncols 2 nrows 2 xllcorner 0 yllcorner 0 cellsize 0 nodata_value -9999 1 2 3 4",
          "ncols -3 nrows 2 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1 2 3 4",
          "ncols 1e30 nrows 2 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1 2 3 4",
          "ncols 2 nrows 2 xllcorner nan yllcorner 0 cellsize 1 nodata_value -9999 1 2 3 4",
          "ncols 2 nrows 2 xllcorner 0 yllcorner 0 cellsize 1 nodata_value",
          "ncols 2 nrows 2 xllcorner 0,5 yllcorner 0 cellsize 1 nodata_value -9999 1 2 3 4", "",
          // Values glued to garbage, non-finite values, a header promising far more than is there.
          "ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1 2x",
          "ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1 nan",
          "ncols 2 nrows 1 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -9999 1 1e999",
          "ncols 2000000000 nrows 2000000000 xllcorner 0 yllcorner 0 cellsize 1 nodata_value 0 1 2"}) {
        SCOPED_TRACE(text);
        AsciiGridStatus s = parseAsciiGrid(g, text);
        EXPECT_FALSE(s.ok);
        EXPECT_FALSE(s.message.empty());
    }
    // Every prefix of a sheet that lacks values is refused; none crashes.
    const std::string full = readFile(ascData("hills.asc"));
    for (std::size_t cutAt :
         {std::size_t{0}, std::size_t{5}, std::size_t{40}, full.size() / 3, full.size() / 2, full.rfind(' ')}) {
        SCOPED_TRACE(cutAt);
        EXPECT_FALSE(parseAsciiGrid(g, std::string_view(full).substr(0, cutAt)).ok);
    }
    EXPECT_TRUE(parseAsciiGrid(g, std::string_view(full).substr(0, full.find_last_not_of(" \n") + 1)).ok);
    EXPECT_FALSE(readAsciiGridFile(g, ascData("")).ok);
    // A real sheet with five header lines: its first value is read as a key.
    GD_REQUIRE_REALDATA("asc/landlab_4_x_3_no_nodata_value.asc");
    AsciiGridStatus five = parseAsciiGrid(g, readFile(realdata("asc/landlab_4_x_3_no_nodata_value.asc")));
    EXPECT_FALSE(five.ok);
    EXPECT_EQ(five.line, 6u);
    EXPECT_NE(five.message.find("nieznany klucz"), std::string::npos) << five.message;
}

TEST(AsciiGridParse, DamagedSheetsNeverCrashAndFailuresSayWhere) {
    const std::string original = readFile(ascData("hills_nodata.asc"));
    const char alphabet[] = "0123456789.-+eE \n\tnaifNODATA_vluxyrcs,\r";
    std::mt19937 rng(12345);
    int failures = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = original;
        const int edits = 1 + static_cast<int>(rng() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = rng() % text.size();
            switch (rng() % 4) {
                case 0: text[at] = alphabet[rng() % (sizeof alphabet - 1)]; break;
                case 1: text.erase(at, 1 + rng() % 20); break;
                case 2: text.insert(at, 1, alphabet[rng() % (sizeof alphabet - 1)]); break;
                default: text.resize(at); break;
            }
            if (text.empty()) text = "x";
        }
        ElevationGrid g;
        AsciiGridStatus s = parseAsciiGrid(g, text);
        if (s.ok) {
            ASSERT_EQ(g.values.size(), static_cast<std::size_t>(g.ncols) * g.nrows);
            for (double v : g.values) ASSERT_TRUE(std::isfinite(v));
            double z = 0;
            sampleGrid(g, g.x0 + g.cellsize * 0.5, g.y0 + g.cellsize * 0.5, z);
        } else {
            ++failures;
            ASSERT_FALSE(s.message.empty());
            ASSERT_GE(s.line, 1u);
            ASSERT_LE(s.offset, text.size());
        }
    }
    EXPECT_GT(failures, 100);
}

TEST(AsciiGridSample, BilinearEdgesAndNodata) {
    // 3 x 2 grid at origin (10, 20), cell 2: top row 1 2 3, bottom row 4 5 6.
    ElevationGrid g = parseOk("ncols 3 nrows 2 xllcorner 10 yllcorner 20 cellsize 2 nodata_value -9999 1 2 3 4 5 6");
    double z = 0;
    // Cell centres give the cell values; midway between centres the mean.
    ASSERT_TRUE(sampleGrid(g, 11, 21, z));
    EXPECT_DOUBLE_EQ(z, 4.0);
    ASSERT_TRUE(sampleGrid(g, 12, 22, z));
    EXPECT_DOUBLE_EQ(z, (1 + 2 + 4 + 5) / 4.0);
    // Left and bottom edges answer (clamped to the edge cells); the right edge and beyond fail.
    ASSERT_TRUE(sampleGrid(g, 10, 20, z));
    EXPECT_DOUBLE_EQ(z, 4.0);
    EXPECT_FALSE(sampleGrid(g, 10 + 3 * 2, 21, z));
    EXPECT_FALSE(sampleGrid(g, 11, 20 + 2 * 2, z));
    EXPECT_FALSE(sampleGrid(g, std::nan(""), 21, z));
    EXPECT_FALSE(sampleGrid(ElevationGrid{}, 0, 0, z));

    // Next to a nodata cell the containing cell answers; inside the nodata cell nothing does.
    ElevationGrid hole = parseOk("ncols 2 nrows 2 xllcorner 0 yllcorner 0 cellsize 1 nodata_value -1 7 -1 9 11");
    ASSERT_TRUE(sampleGrid(hole, 1.4, 0.2, z));
    EXPECT_DOUBLE_EQ(z, 0.1 * 9 + 0.9 * 11);
    EXPECT_FALSE(sampleGrid(hole, 1.2, 1.2, z));
}
