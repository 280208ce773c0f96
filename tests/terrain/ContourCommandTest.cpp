// The `geodraft contours` command run as a real process, and a cross-check against gdal_contour.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <set>

#include <nlohmann/json.hpp>

#include "TerrainTestUtil.h"
#include "platform/Numbers.h"
#include "support/GeodraftRun.h"

using namespace terrain;
using namespace terrain_test;
using platform::cformat;
using testsupport::TempDir;

namespace {

std::string asc(const std::string& name) { return "'" + ascData(name).string() + "'"; }

struct Rect {
    double minX, minY, maxX, maxY;
};

// Length of the part of segment (x0, y0)-(x1, y1) inside the rectangle (Liang-Barsky clipping).
double clippedLength(double x0, double y0, double x1, double y1, const Rect& r) {
    const double dx = x1 - x0, dy = y1 - y0;
    double t0 = 0, t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0 - r.minX, r.maxX - x0, y0 - r.minY, r.maxY - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return 0;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
    }
    return t1 > t0 ? (t1 - t0) * std::hypot(dx, dy) : 0;
}

// gdal_contour also draws the half cell between the outer cell centres and the raster's border;
// only the part over the cell centres is compared.
double polylineLength(const nlohmann::json& coords, const Rect& r) {
    double len = 0;
    for (std::size_t i = 1; i < coords.size(); ++i)
        len += clippedLength(coords[i - 1][0].get<double>(), coords[i - 1][1].get<double>(), coords[i][0].get<double>(),
                             coords[i][1].get<double>(), r);
    return len;
}

}  // namespace

TEST(ContoursCommand, WritesLinesAndLabelsAsGeoJson) {
    TempDir dir;
    const std::string out = (dir / "out.geojson").string();
    const std::string args = " --frame 500000,300000,500059,300039 --step 1 --interval 0.5 " + asc("hills.asc") + " " +
                             asc("hills_east.asc") + " --out ";
    const auto r = testsupport::runGeodraft(dir.path, "contours" + args + "'" + out + "'", {});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const auto doc = nlohmann::json::parse(testsupport::readFile(out));

    // The same computation as the fetch, over the same mosaic.
    ContourBuildResult expected =
        buildContours({{500000, 300000, 500059, 300039}, 1, 0.5, false},
                      {loadSheet(ascData("hills.asc")), loadSheet(ascData("hills_east.asc"))}, {}, {});
    std::size_t lineCount = 0, labelCount = 0;
    for (const auto& f : doc["features"]) {
        if (f["geometry"]["type"] == "LineString") {
            ASSERT_LT(lineCount, expected.lines.size());
            const ContourLine& want = expected.lines[lineCount++];
            EXPECT_EQ(f["properties"]["z"].get<double>(), want.z);
            EXPECT_EQ(f["properties"]["index"].get<bool>(), want.index);
            const auto& coords = f["geometry"]["coordinates"];
            ASSERT_EQ(coords.size(), want.points.size());
            EXPECT_EQ(coords.back()[1].get<double>(), want.points.back().y);
        } else {
            EXPECT_EQ(f["geometry"]["type"], "Point");
            EXPECT_TRUE(f["properties"]["label"].get<std::string>().find(',') != std::string::npos);
            ++labelCount;
        }
    }
    EXPECT_EQ(lineCount, expected.lines.size());
    EXPECT_GT(labelCount, 0u);
    EXPECT_NE(r.out.find(expected.summary), std::string::npos) << r.out;

    // Smoothing changes the lines but keeps their number.
    const std::string smooth = (dir / "smooth.geojson").string();
    const auto s = testsupport::runGeodraft(dir.path, "contours --smooth" + args + "'" + smooth + "'", {});
    ASSERT_EQ(s.exitCode, 0) << s.err;
    EXPECT_NE(s.out.find(", wygladzone"), std::string::npos);
    EXPECT_NE(nlohmann::json::parse(testsupport::readFile(smooth)), doc);
}

TEST(ContoursCommand, BadInputGetsAPolishErrorAndNoOutput) {
    TempDir dir;
    const std::string out = (dir / "out.geojson").string();
    const std::string good = " --step 1 --out '" + out + "' " + asc("hills.asc");
    struct Case {
        std::string args, message;
    };
    const std::string frame = "contours --frame 0,0,10,10 --interval 1 --step 1 --out '" + out + "' ";
    // A header that would clear the terminal and set its title, were the message to echo it.
    testsupport::writeFile(dir / "escape.asc", "\x1b[2J\x1b]0;x\x07 3\nnrows 3\n");
    const std::vector<Case> cases{
        {"contours --interval 1" + good, "brak ramki --frame"},
        {"contours --frame 1,2,3 --interval 1" + good, "nieprawidlowa ramka"},
        {"contours --frame 0,0,inf,10 --interval 1" + good, "nieprawidlowa ramka"},
        {"contours --frame 10,0,0,10 --interval 1" + good, "ramka pusta lub odwrocona"},
        {"contours --frame 0,0,10,10 --interval 0.3" + good, "ciecie 0,30 m nie jest dozwolona wartoscia"},
        {"contours --frame 0,0,10,10 --interval 1,5" + good, "nieprawidlowe ciecie"},
        {"contours --frame 0,0,10,10 --interval 1 --step 0 --out '" + out + "' " + asc("hills.asc"),
         "nieprawidlowy krok"},
        {frame, "brak plikow siatki ASC"},
        {"contours --frame 0,0,10,10 --interval 1 --bogus" + good, "nieznana opcja --bogus"},
        {frame + asc("cut_off.asc"), "plik urwany - odczytano 8 z 12 wartosci"},
        {frame + asc("decimal_comma.asc"), "nieprawidlowa wartosc '3,5'"},
        {frame + asc("missing.asc"), "nie mozna odczytac"},
        {frame + "/dev/zero", "Plik ASC: to nie jest plik tekstowy siatki: /dev/zero"},
        {frame + "'" + (dir / "escape.asc").string() + "'", "nieznany klucz naglowka '?[2j?]0;x?'"},
        {"contours --frame 500000,300000,500039,300039 --interval 1 --step 1 --out '" +
             (dir / "no/such/dir.geojson").string() + "' " + asc("hills.asc"),
         "nie mozna zapisac pliku"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const auto r = testsupport::runGeodraft(dir.path, c.args, {});
        EXPECT_NE(r.exitCode, 0);
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(r.err.find('\x1b'), std::string::npos);
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

TEST(ContoursCrossCheck, SameLevelsAndLengthAsGdalContour) {
    if (std::system("command -v gdal_contour >/dev/null 2>&1") != 0) GTEST_SKIP() << "gdal_contour is not installed";
    struct Case {
        std::filesystem::path sheet;
        double interval;
        double tolerance;  // of the total length
    };
    // Without nodata the lengths agree closely. Next to nodata gdal_contour also draws the half cell
    // reaching into the gap, so sheets with holes agree less closely.
    std::vector<Case> cases{{ascData("hills.asc"), 0.25, 0.003}};
    if (std::filesystem::exists(testsupport::realdata("asc/landlab_DEM-kootenai_37x50_1x1.asc"))) {
        cases.push_back({testsupport::realdata("asc/landlab_DEM-kootenai_37x50_1x1.asc"), 1.0, 0.003});
        cases.push_back({testsupport::realdata("asc/landlab_pre_runout_DEM.asc"), 2.0, 0.006});  // 122 nodata cells
        cases.push_back({testsupport::realdata("asc/landlab_hugo_site.asc"), 2.0, 0.03});        // 2028 nodata cells
    }
    TempDir dir;
    for (const auto& [path, interval, tolerance] : cases) {
        SCOPED_TRACE(path.filename().string() + " " + std::to_string(interval));
        const auto out = dir / "gdal.geojson";
        std::filesystem::remove(out);
        const std::string cmd = "gdal_contour -q -a elev -i " + cformat("%g", interval) + " -f GeoJSON '" +
                                path.string() + "' '" + out.string() + "' >/dev/null 2>&1";
        ASSERT_EQ(std::system(cmd.c_str()), 0);
        const ContourGrid grid = centreGrid(loadSheet(path));
        const Rect centres{grid.x0, grid.y0, grid.x0 + (grid.nx - 1) * grid.step, grid.y0 + (grid.ny - 1) * grid.step};
        const auto gdal = nlohmann::json::parse(testsupport::readFile(out));
        std::set<double> gdalLevels;
        double gdalLength = 0;
        for (const auto& f : gdal["features"]) {
            const auto& geom = f["geometry"];
            if (geom.is_null()) continue;
            double len = 0;
            if (geom["type"] == "LineString") len = polylineLength(geom["coordinates"], centres);
            else
                for (const auto& part : geom["coordinates"]) len += polylineLength(part, centres);
            if (len > 0) gdalLevels.insert(f["properties"]["elev"].get<double>());
            gdalLength += len;
        }

        std::string note;
        auto lines = trace(grid, interval, note);
        std::set<double> levels;
        double length = 0;
        for (const auto& l : lines) {
            levels.insert(l.z);
            for (std::size_t i = 1; i < l.points.size(); ++i)
                length += std::hypot(l.points[i].x - l.points[i - 1].x, l.points[i].y - l.points[i - 1].y);
        }
        EXPECT_EQ(levels.size(), gdalLevels.size());
        EXPECT_NEAR(length / gdalLength, 1.0, tolerance) << "ours " << length << " m, gdal " << gdalLength << " m";
    }
}
