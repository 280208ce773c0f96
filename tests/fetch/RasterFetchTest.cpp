// WMS rasters: tile plan, retries at halved widths, image check, request system, warning and report line,
// against a WMS on the loopback simulator.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "FetchFixture.h"
#include "ImageEncoder.h"
#include "WmsService.h"
#include "import/RasterFetch.h"
#include "platform/Numbers.h"

namespace importer {

namespace {

constexpr const char* kWmsHost = "wms.powiat.example.pl";
constexpr const char* kWmsPath = "/cgi-bin/gesut";
const std::string kWmsUrl = std::string("https://") + kWmsHost + kWmsPath;

class RasterFetch : public FetchSim {
protected:
    void SetUp() override {
        FetchSim::SetUp();
        auto wms = std::make_shared<sim::WmsService>();
        wms->addLayer({"przewody", "Przewody", 0x0050FFFF, nullptr, ""});
        sim.scenario().addWms(kWmsHost, kWmsPath, wms);
        // Map answers are a small fixed picture: these tests look at the requests, and drawing 4096 pixel
        // images would only cost time.
        const std::string png = sim::encodePng(sim::RgbaImage(4, 4, 0x0050FFFF));
        sim.scenario().addHandler(kWmsHost, kWmsPath, [png](const sim::SimRequest& r, sim::SimResponse& out) {
            if (r.param("request") != "GetMap") return false;
            out.contentType = "image/png";
            out.body = png;
            return true;
        });
    }

    int fetchFrame(const geodesy::Bbox& frame, double metresPerPixel, int epsg,
                   formats::DataType type = formats::DataType::gesut) {
        return fetchRaster(client, frame, kWmsUrl, "przewody", metresPerPixel, type, epsg, result,
                           [this](const std::string& line) { reports.push_back(line); });
    }
    std::vector<sim::LoggedRequest> getMaps() {
        std::vector<sim::LoggedRequest> out;
        for (const sim::LoggedRequest& r : sim.log().matching(kWmsHost, kWmsPath))
            if (r.query.find("request=GetMap") != std::string::npos) out.push_back(r);
        return out;
    }
    // The WIDTH of every map request, in order.
    std::vector<std::string> widths() {
        std::vector<std::string> out;
        for (const sim::LoggedRequest& r : getMaps()) out.push_back(param(r, "WIDTH"));
        return out;
    }
    static std::string param(const sim::LoggedRequest& r, const std::string& name) {
        for (const auto& [key, value] : sim::parseQuery(r.query))
            if (key == name) return value;
        return {};
    }

    FetchedData result;
    const geodesy::PlanarPoint centre = sim::poland::centre1992(sim::poland::kWarszawa);
};

TEST(RasterPlan, ExactlyTheSideLimitStaysOneTile) {
    const RasterTilePlan exact = planRasterTiles(4096 * 0.28, 4096 * 0.28, 0.28);
    EXPECT_EQ(exact.columns, 1);
    EXPECT_EQ(exact.rows, 1);
}

TEST(RasterPlan, OnlyWholeImagesAreAccepted) {
    sim::RgbaImage picture(64, 64, 0x336699FFu);
    for (int i = 0; i < 64; ++i) picture.set(i, (i * 7) % 64, 0xFF0000FFu);
    const std::string png = sim::encodePng(picture), jpeg = sim::encodeJpeg(picture);
    EXPECT_TRUE(isRasterImage(png));
    EXPECT_TRUE(isRasterImage(jpeg));
    std::string flipped = png;
    flipped[png.size() / 2] ^= 0x10;
    // A bare or cut signature, a damaged chunk, an error document: none is a picture.
    for (const std::string& other : {std::string("\x89PNG\r\n\x1a\n\0", 9), png.substr(0, png.size() / 2),
                                     png.substr(0, png.size() - 12), flipped, jpeg.substr(0, jpeg.size() - 40),
                                     std::string("<?xml version=\"1.0\"?><ServiceExceptionReport/>"), std::string()})
        EXPECT_FALSE(isRasterImage(other)) << other.size();
}

TEST(RasterPlan, RequestSystemIsTheFetchZoneOnlyWhenOffered) {
    EXPECT_EQ(chooseRasterEpsg(2178, "<SRS>EPSG:2178</SRS>"), 2178);
    EXPECT_EQ(chooseRasterEpsg(2178, "<CRS>urn:ogc:def:crs:EPSG::2178</CRS>"), 2178);
    EXPECT_EQ(chooseRasterEpsg(2178, "<SRS>EPSG:2180</SRS><SRS>EPSG:4326</SRS>"), 2180);
    EXPECT_EQ(chooseRasterEpsg(2180, ""), 2180);
}

TEST(RasterPlan, CountyPixelSizeFollowsTheScaleWithinItsRange) {
    net::WfsClient client;
    net::MunicipalityCache cache;
    FetchedData data;
    FetchContext ctx(client, cache, data);
    for (const auto& [scale, expected] : std::vector<std::pair<int, double>>{
             {50, 0.28}, {20000, 0.28}, {500, 0.14}, {100, 0.028}, {10000, 2.8}, {1000, 0.28}}) {
        ctx.rasterScale = scale;
        EXPECT_NEAR(ctx.metresPerPixel(), expected, 1e-12) << scale;
    }
}

TEST_F(RasterFetch, TwoKilometreFrameIsTwoTilesWithReportLineAndNoWarning) {
    const geodesy::Bbox frame{centre.x - 1000, centre.y - 500, centre.x + 1000, centre.y + 500};
    ASSERT_EQ(fetchFrame(frame, 0.28, 2180), 2);
    EXPECT_EQ(result.warning, "");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "TERRAVOX: rastr gesut: kadr 2000x1000 m, gestosc 0.28 m/px (1:1000), platki 2x1");

    const auto requests = getMaps();
    ASSERT_EQ(requests.size(), 2u);
    for (const sim::LoggedRequest& r : requests) {
        EXPECT_EQ(param(r, "WIDTH"), "3571");
        EXPECT_EQ(param(r, "HEIGHT"), "3571");
        EXPECT_EQ(param(r, "SRS"), "EPSG:2180");
    }
    ASSERT_EQ(result.rasters.size(), 2u);
    EXPECT_EQ(result.rasters[0].type, formats::DataType::gesut);
    // The tiles split the frame without gap or overlap.
    EXPECT_DOUBLE_EQ(result.rasters[0].box.minE, frame.minE);
    EXPECT_DOUBLE_EQ(result.rasters[0].box.maxE, result.rasters[1].box.minE);
    EXPECT_DOUBLE_EQ(result.rasters[1].box.maxE, frame.maxE);
    EXPECT_DOUBLE_EQ(result.rasters[1].box.maxN, frame.maxN);
}

TEST_F(RasterFetch, WideFrameIsLimitedWithAWarningAndFullWidthTilesHalvedOnExceptions) {
    const geodesy::Bbox frame{centre.x - 10000, centre.y - 150, centre.x + 10000, centre.y + 150};
    ASSERT_EQ(fetchFrame(frame, 0.28, 2180, formats::DataType::rastry), 4);
    EXPECT_EQ(result.warning, "Kadr bardzo szeroki - rastry rastry ograniczone do 4 platek (ok. 1:4359).");
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "TERRAVOX: rastr rastry: kadr 20000x300 m, gestosc 0.28 m/px (1:1000), platki 4x1");
    for (const sim::LoggedRequest& r : getMaps()) {
        EXPECT_EQ(param(r, "WIDTH"), "4096");
        EXPECT_EQ(param(r, "HEIGHT"), "245");
    }

    // An exception in place of an image is retried at halved widths, then dropped.
    sim.log().clear();
    result = FetchedData{};
    sim.faults().add(sim::Fault{.host = kWmsHost, .path = kWmsPath, .exceptionDocument = true});
    EXPECT_EQ(fetchFrame(frame, 0.28, 2180), 0);
    EXPECT_TRUE(result.rasters.empty());
    std::vector<std::string> halved;
    for (int tile = 0; tile < 4; ++tile) halved.insert(halved.end(), {"4096", "2048", "1024", "512"});
    EXPECT_EQ(widths(), halved);
}

TEST_F(RasterFetch, TallLimitedTilesStayWithinTheSideLimit) {
    // 300 m x 20 km: one column, four rows of 5 km; a tile as wide as the frame would be 17857 pixels tall.
    const geodesy::Bbox frame{centre.x - 150, centre.y - 10000, centre.x + 150, centre.y + 10000};
    ASSERT_EQ(fetchFrame(frame, 0.28, 2180), 4);
    const auto requests = getMaps();
    ASSERT_EQ(requests.size(), 4u);
    for (const sim::LoggedRequest& r : requests) {
        EXPECT_EQ(param(r, "WIDTH"), "245");
        long long height = 0;
        ASSERT_TRUE(platform::parseInt(param(r, "HEIGHT"), height));
        EXPECT_LE(height, 4096);
        EXPECT_GE(height, 4000);
    }
}

TEST_F(RasterFetch, FailedAttemptsAreRetriedAndALaterImageIsKept) {
    // An error status, then an empty 200, then the image.
    sim.faults().add(sim::Fault{.host = kWmsHost, .path = kWmsPath, .statuses = {500, 500}});
    sim.faults().add(sim::Fault{.host = kWmsHost, .path = kWmsPath, .emptyOk = true, .times = 1});
    const geodesy::Bbox frame{centre.x - 500, centre.y - 500, centre.x + 500, centre.y + 500};
    ASSERT_EQ(fetchFrame(frame, 0.28, 2180), 1);
    ASSERT_EQ(result.rasters.size(), 1u);
    EXPECT_TRUE(isRasterImage(result.rasters[0].image));
    // The client's own retry repeats a 500 at the same width; the empty answer halves it.
    EXPECT_EQ(widths(), (std::vector<std::string>{"3571", "3571", "1785", "892"}));
}

TEST_F(RasterFetch, ZoneRequestsCarryTheTransformedBox) {
    const geodesy::Bbox frame{centre.x - 200, centre.y - 150, centre.x + 200, centre.y + 150};
    ASSERT_EQ(fetchFrame(frame, 0.25, 2178), 1);
    const RasterImage& tile = result.rasters.at(0);
    EXPECT_EQ(tile.epsg, 2178);
    // The bounding box of all four corners: the grids are turned against each other.
    const geodesy::PlanarPoint sw = geodesy::pl1992ToPl2000(frame.minE, frame.minN, 2178),
                               se = geodesy::pl1992ToPl2000(frame.maxE, frame.minN, 2178);
    const geodesy::PlanarPoint nw = geodesy::pl1992ToPl2000(frame.minE, frame.maxN, 2178),
                               ne = geodesy::pl1992ToPl2000(frame.maxE, frame.maxN, 2178);
    EXPECT_DOUBLE_EQ(tile.box.minE, std::min(sw.x, nw.x));
    EXPECT_DOUBLE_EQ(tile.box.minN, std::min(sw.y, se.y));
    EXPECT_DOUBLE_EQ(tile.box.maxE, std::max(se.x, ne.x));
    EXPECT_DOUBLE_EQ(tile.box.maxN, std::max(nw.y, ne.y));
    const auto requests = getMaps();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(param(requests[0], "SRS"), "EPSG:2178");
    std::vector<double> v;
    std::istringstream box(param(requests[0], "BBOX"));
    for (std::string part; std::getline(box, part, ',');) ASSERT_TRUE(platform::parseDouble(part, v.emplace_back()));
    ASSERT_EQ(v.size(), 4u);
    EXPECT_NEAR(v[0], tile.box.minE, 0.01);
    EXPECT_NEAR(v[3], tile.box.maxN, 0.01);
}

TEST_F(RasterFetch, NarrowFrameIsStillFetchedOnceAtItsOwnWidthAndDegenerateInputsFetchNothing) {
    const geodesy::Bbox frame{centre.x - 50, centre.y - 50, centre.x + 50, centre.y + 50};
    EXPECT_EQ(fetchFrame(frame, 0.0, 2180), 0);
    EXPECT_EQ(fetchFrame(frame, std::nan(""), 2180), 0);
    EXPECT_EQ(fetchFrame(geodesy::Bbox{centre.x, centre.y, centre.x, centre.y}, 0.25, 2180), 0);
    EXPECT_EQ(fetchRaster(client, frame, kWmsUrl, "", 0.25, formats::DataType::gesut, 2180, result, nullptr), 0);
    EXPECT_TRUE(getMaps().empty());

    // 100 m at 0.25 m per pixel is 400 pixels: one request, no retries below the retry floor.
    ASSERT_EQ(fetchFrame(frame, 0.25, 2180), 1);
    EXPECT_EQ(widths(), std::vector<std::string>{"400"});
    sim.log().clear();
    result = FetchedData{};
    sim.faults().add(sim::Fault{.host = kWmsHost, .path = kWmsPath, .exceptionDocument = true});
    EXPECT_EQ(fetchFrame(frame, 0.25, 2180), 0);
    EXPECT_EQ(getMaps().size(), 1u);
}

}  // namespace

}  // namespace importer
