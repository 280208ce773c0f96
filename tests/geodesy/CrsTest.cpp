// Coordinate conversions against PROJ, zone edges, EPSG recognition and the local affine frame.
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

#include "geodesy/Geodesy.h"

using namespace geodesy;

namespace {

struct ReferencePoint {
    double lat, lon;      // degrees
    double e1992, n1992;  // EPSG:2180
    int zone;             // PL-2000 EPSG code
    double e2000, n2000;  // in that zone
};

// Produced with gdaltransform (GDAL 3.6.2 / PROJ), -s_srs EPSG:4326 -t_srs EPSG:2180 or EPSG:<zone>. Points on
// or near a zone boundary appear once per neighbouring zone.
const ReferencePoint kReference[] = {
    {49.0, 22.9, 785139.699561604, 133156.203345147, 2179, 8419517.90717426, 5429792.65225148},
    {54.8, 14.2, 191639.404085784, 781278.531961336, 2176, 5448554.88064067, 6074791.69259984},
    {54.8, 23.5, 789101.851463037, 779998.51673854, 2179, 8467846.58728465, 6074612.84637263},
    {49.0, 19.0, 500000, 125826.892786894, 2177, 6573165.6466071, 5429691.44873249},
    {50.0647, 19.9450, 567613.619270457, 244587.531162634, 2178, 7424469.10037182, 5548149.62978616},
    {51.7592, 19.4560, 531462.813298655, 432633.673075323, 2177, 6600520.56900448, 5737112.44851937},
    {51.7592, 19.4560, 531462.813298655, 432633.673075323, 2178, 7393404.34487052, 5737237.39401057},
    {52.0, 14.2, 170669.557268934, 470191.018415195, 2176, 5445062.24787838, 5763202.01305982},
    {52.0, 24.1, 849900.753785993, 471594.936818319, 2179, 8506867.27194719, 5762904.49484609},
    {51.5, 16.5, 326532.573083425, 406679.449408598, 2177, 6395849.91103447, 5708339.81282423},
    {51.5, 16.5, 326532.573083425, 406679.449408598, 2176, 5604150.08896553, 5708339.81282423},
    {51.5, 19.5, 534695.855517026, 403835.332756017, 2178, 7395849.91103447, 5708339.81282423},
    {51.5, 19.5, 534695.855517026, 403835.332756017, 2177, 6604150.08896553, 5708339.81282423},
    {51.5, 22.5, 742837.763763206, 409524.721056086, 2179, 8395849.91103447, 5708339.81282423},
    {51.5, 22.5, 742837.763763206, 409524.721056086, 2178, 7604150.08896553, 5708339.81282423},
    {50.3, 16.49, 321301.605087231, 273327.129543147, 2176, 5606150.08700313, 5574849.47657087},
    {50.3, 16.49, 321301.605087231, 273327.129543147, 2177, 6392425.13959903, 5574878.18212464},
};

double planarDistance(PlanarPoint a, double e, double n) { return std::hypot(a.x - e, a.y - n); }

// One metre of latitude is about 9e-6 degrees; longitude metres shrink with cos(latitude).
double geographicDistanceMetres(LatLon a, double lat, double lon) {
    const double dn = (a.lat - lat) * 111320.0;
    const double de = (a.lon - lon) * 111320.0 * std::cos(lat * 3.141592653589793 / 180.0);
    return std::hypot(dn, de);
}

}  // namespace

TEST(CrsReference, ConversionsBothWaysAgreeWithIndependentImplementation) {
    for (const ReferencePoint& r : kReference) {
        SCOPED_TRACE(testing::Message() << r.lat << "N " << r.lon << "E zone " << r.zone);
        const PlanarPoint p1992 = wgs84ToPl1992(r.lat, r.lon);
        EXPECT_LT(planarDistance(p1992, r.e1992, r.n1992), 0.001);
        // WGS84 -> PL-2000 always goes through PL-1992; the detour costs up to about 1.5 cm at the country's
        // ends but stays within 2 mm inside 3 degrees of the PL-1992 meridian.
        EXPECT_LT(planarDistance(pl1992ToPl2000(p1992, r.zone), r.e2000, r.n2000),
                  std::fabs(r.lon - 19.0) <= 3.0 ? 0.002 : 0.02);
        // The inverse series lose about 1.5 cm at the eastern and western ends of the country.
        EXPECT_LT(geographicDistanceMetres(pl1992ToWgs84(r.e1992, r.n1992), r.lat, r.lon), 0.02);
        EXPECT_LT(geographicDistanceMetres(pl2000ToWgs84(r.e2000, r.n2000, r.zone), r.lat, r.lon), 0.02);
        EXPECT_LT(planarDistance(pl2000ToPl1992(r.e2000, r.n2000, r.zone), r.e1992, r.n1992), 0.02);
    }
}

// The conversions are defined by their closed-form series, not by the best possible projection: stored data
// and every subsystem rely on these exact values, so the far-from-meridian ones are pinned to 0.1 mm.
TEST(CrsPinned, SeriesValuesAtTheCountrysEnds) {
    struct Pinned {
        double lat, lon;
        int zone;
        double e1992, n1992, e2000, n2000, latBack, lonBack, e1992Back, n1992Back;
    };
    const Pinned kPinned[] = {
        {54.8, 14.20, 2176, 191639.4039, 781278.5326, 5448554.8706, 6074791.6934, 54.8000000046, 14.1999998435,
         191639.3939, 781278.5338},
        {52.0, 24.10, 2179, 849900.7543, 471594.9373, 8506867.2874, 5762904.4951, 52.0000000009, 24.1000002255,
         849900.7697, 471594.9385},
        {49.0, 22.90, 2179, 785139.6997, 133156.2037, 8419517.9095, 5429792.6528, 49.0000000038, 22.9000000322,
         785139.7020, 133156.2043},
        {50.3, 16.49, 2177, 321301.6051, 273327.1300, 6392425.1395, 5574878.1828, 50.3000000053, 16.4899999982,
         321301.6050, 273327.1306},
    };
    for (const Pinned& p : kPinned) {
        SCOPED_TRACE(testing::Message() << p.lat << "N " << p.lon << "E");
        const PlanarPoint a = wgs84ToPl1992(p.lat, p.lon), b = pl1992ToPl2000(a, p.zone);
        const LatLon c = pl2000ToWgs84(b, p.zone);
        const PlanarPoint d = pl2000ToPl1992(b, p.zone);
        for (auto [got, want, tolerance] : {std::tuple{a.x, p.e1992, 1e-4},
                                            {a.y, p.n1992, 1e-4},
                                            {b.x, p.e2000, 1e-4},
                                            {b.y, p.n2000, 1e-4},
                                            {c.lat, p.latBack, 1e-9},
                                            {c.lon, p.lonBack, 1e-9},
                                            {d.x, p.e1992Back, 1e-4},
                                            {d.y, p.n1992Back, 1e-4}})
            EXPECT_NEAR(got, want, tolerance);
    }
}

TEST(CrsZones, BoundariesBelongToTheEasternZone) {
    // No bounds check: the outermost zones extend indefinitely.
    for (auto [lon, zone] : {std::pair{16.4999999, 2176},
                             {16.5, 2177},
                             {19.5, 2178},
                             {22.4999999, 2178},
                             {22.5, 2179},
                             {-180.0, 2176},
                             {180.0, 2179}})
        EXPECT_EQ(pl2000ZoneForLongitude(lon), zone) << lon;
}

TEST(CrsErrors, EveryPl2000OperationRejectsCodesOutsideItsZones) {
    auto expectRejected = [](auto&& call) {
        try {
            call();
            ADD_FAILURE() << "no exception";
        } catch (const std::invalid_argument& e) {
            EXPECT_STREQ(e.what(), "Nieobslugiwany EPSG PL-2000");
        }
    };
    for (int epsg : {2180, 2175, 0, 4326}) {
        SCOPED_TRACE(epsg);
        expectRejected([&] { pl1992ToPl2000(500000.0, 500000.0, epsg); });
        expectRejected([&] { pl2000ToWgs84(7500000.0, 5800000.0, epsg); });
        expectRejected([&] { pl2000ToPl1992(7500000.0, 5800000.0, epsg); });
        expectRejected([&] { localAffinePl1992ToPl2000(Bbox{500000.0, 500000.0, 501000.0, 501000.0}, epsg); });
    }
}

TEST(CrsText, EpsgCodeFoundAnywhereLowestWins) {
    // WKT as GDAL writes it for zone 7: the other numbers in it must not be mistaken for a code.
    const std::string wkt =
        "PROJCS[\"ETRF2000-PL / CS2000/21\", GEOGCS[\"ETRF2000-PL\", SPHEROID[\"GRS 1980\",6378137,298.257222101, "
        "AUTHORITY[\"EPSG\",\"7019\"]], AUTHORITY[\"EPSG\",\"9702\"]], PARAMETER[\"central_meridian\",21], "
        "PARAMETER[\"false_easting\",7500000], AUTHORITY[\"EPSG\",\"2178\"]]";
    for (auto [text, code] : {std::pair<std::string, int>{"EPSG:2178", 2178},
                              {"urn:ogc:def:crs:EPSG::2180", 2180},
                              {"EPSG:2180 EPSG:2177", 2177},
                              {"EPSG:4326", 0},
                              {"", 0},
                              {wkt, 2178}})
        EXPECT_EQ(epsgFromCrsText(text), code) << text;
}

TEST(CrsLocalAffine, FrameMatchesSeriesOverTheFrame) {
    const LocalAffine f = localAffinePl1992ToPl2000(Bbox{630000.0, 480000.0, 632000.0, 482000.0}, 2178);  // Warsaw
    // The grids are rotated against each other (meridian convergence), so the cross terms are not zero.
    EXPECT_GT(std::fabs(f.northPerEast), 1e-3);
    for (PlanarPoint at :
         {PlanarPoint{631000.0, 481000.0}, PlanarPoint{630000.0, 480000.0}, PlanarPoint{632000.0, 480000.0},
          PlanarPoint{630000.0, 482000.0}, PlanarPoint{632000.0, 482000.0}}) {
        const PlanarPoint series = pl1992ToPl2000(at, 2178);
        EXPECT_LT(planarDistance(f.apply(at), series.x, series.y), at.x == 631000.0 ? 1e-6 : 0.005);
    }
}
