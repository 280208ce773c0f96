// Tile indexes, LiDAR sheet downloads and the terrain height lookup against the simulated national services on
// loopback.
#include <gtest/gtest.h>

#include "ElevationSimFixture.h"
#include "import/OriginTerrainHeight.h"
#include "lidar/LasSheet.h"
#include "net/LidarResolver.h"
#include "net/TileIndex.h"
#include "net/UrlText.h"
#include "platform/Numbers.h"

using namespace net;
using namespace sim::elevation;

namespace {

std::vector<std::string> emblems(const std::vector<ElevationTile>& tiles) {
    std::vector<std::string> out;
    for (const auto& t : tiles) out.push_back(t.godlo);
    return out;
}

std::vector<std::string> yearsFrom(int first, int last, const std::string& prefix) {
    std::vector<std::string> out;
    for (int y = first; y >= last; --y) out.push_back(prefix + std::to_string(y));
    return out;
}

}  // namespace

using TileIndexSim = ElevationSim;

TEST_F(TileIndexSim, YearSearchStopsAtTheNewestYearThatCovers) {
    // Only 2019 covers the valley: every newer year is asked, answers nothing, and no older year is asked.
    const auto valley = findNmtTiles(client, frameAround(kValley, 200, 200));
    ASSERT_EQ(valley.size(), 1u);
    EXPECT_EQ(valley[0].godlo, "6.113.14.21") << "emblem written across lines comes back trimmed";
    EXPECT_EQ(valley[0].url, sheetUrl("NMT", "6.113.14.21.asc"));
    EXPECT_EQ(typesAsked(serviceEndpoints().nmtIndexWfs()), yearsFrom(firstIndexYear(), 2019, "gugik:SkorowidzNMT"));

    // The hills are covered by 2025: both overlapping sheets, in answer order.
    sim.log().clear();
    EXPECT_EQ(emblems(findNmtTiles(client, frameAround(kHills, 300, 300))),
              (std::vector<std::string>{"7.111.23.11", "7.111.23.12"}));
    EXPECT_EQ(typesAsked(serviceEndpoints().nmtIndexWfs()), yearsFrom(firstIndexYear(), 2025, "gugik:SkorowidzNMT"));

    // The surface model has its own index and oldest year.
    EXPECT_EQ(emblems(findNmptTiles(client, frameAround(kValley, 100, 100))),
              (std::vector<std::string>{"6.113.14.21"}));
    sim.log().clear();
    EXPECT_TRUE(findNmptTiles(client, frameAround(kUncovered, 100, 100)).empty());
    EXPECT_EQ(typesAsked(serviceEndpoints().nmptIndexWfs()), yearsFrom(firstIndexYear(), 2019, "gugik:SkorowidzNMPT"));
}

TEST_F(TileIndexSim, OneRequestPerYearAtMostTwentySheets) {
    const geodesy::Bbox frame = frameAround(kMosaic, 400, 400);
    const auto tiles = findNmtTiles(client, frame);
    ASSERT_EQ(tiles.size(), 20u);
    EXPECT_EQ(tiles.back().godlo, "6.134.12.34");
    // The box's axis order is held by the simulator answering it; the request asks for at most twenty.
    const std::string url = tileIndexUrl(nmtIndexProduct(), 2022, frame);
    EXPECT_NE(url.find("typenames=gugik%3ASkorowidzNMT2022&COUNT=20&BBOX="), std::string::npos) << url;
}

TEST_F(TileIndexSim, FailedYearsAreSkippedAndAnUnreachableServiceEndsTheSearch) {
    // A year that answers with an error status counts as a year without sheets.
    const std::string service = serviceEndpoints().nmtIndexWfs();
    const std::string host = service.substr(8, service.find('/', 8) - 8), path = service.substr(service.find('/', 8));
    sim.faults().add(sim::Fault{.host = host, .path = path, .statuses = {503, 503}});  // the first year and its retry
    const auto valley = findNmtTiles(client, frameAround(kValley, 200, 200));
    EXPECT_EQ(emblems(valley), (std::vector<std::string>{"6.113.14.21"}));
    auto expected = yearsFrom(firstIndexYear(), 2019, "gugik:SkorowidzNMT");
    expected.insert(expected.begin(), expected.front());
    EXPECT_EQ(typesAsked(service), expected);

    // A service that does not answer at all is not asked again for every older year.
    sim.faults().clear();
    sim.log().clear();
    sim.faults().add(sim::Fault{.host = host, .path = path, .delayMs = 2000});
    client.options.defaultReceiveTimeoutMs = 300;
    EXPECT_TRUE(findNmtTiles(client, frameAround(kValley, 200, 200)).empty());
    EXPECT_EQ(typesAsked(service), std::vector<std::string>(2, "gugik:SkorowidzNMT" + std::to_string(firstIndexYear())))
        << "the first year and its one retry only";
}

TEST_F(TileIndexSim, LidarSheetsWithTheirSystemsAndDownloads) {
    LidarResolver resolver(&client);
    const auto tiles = resolver.findTiles(frameAround(kHills, 100, 100));
    ASSERT_EQ(tiles.size(), 5u) << "the member without an address is dropped";
    const std::vector<int> epsg = {2180, 2179, 0, 0, 0};
    const std::vector<double> density = {12, 4, 0, 0, 0};
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(tiles[i].godlo, "7.111.23.11.3");
        EXPECT_EQ(tiles[i].epsg, epsg[i]);
        EXPECT_DOUBLE_EQ(tiles[i].density, density[i]);
    }

    // The sheet arrives through the cache as a LAZ file the project's reader decodes.
    long long lastDone = 0, lastTotal = 0;
    const std::string path = resolver.download(tiles[0], [&](std::int64_t done, std::int64_t total) {
        lastDone = done;
        lastTotal = total;
        return true;
    });
    EXPECT_GT(lastTotal, 0) << "the sheet is served with its length";
    EXPECT_EQ(lastDone, lastTotal);
    lidar::LasSheet sheet;
    ASSERT_TRUE(sheet.open(path)) << sheet.error();
    formats::CloudPoint p;
    int total = 0;
    while (sheet.next(p)) ++total;
    EXPECT_EQ(total, kLidarPoints);
    const std::size_t served = sim.log().matching(hostOfUrl(tiles[0].url)).size();
    EXPECT_EQ(resolver.download(tiles[0]), path) << "the second download comes from the cache";
    EXPECT_EQ(sim.log().matching(hostOfUrl(tiles[0].url)).size(), served);

    // A cancelled download leaves nothing.
    EXPECT_TRUE(resolver.download(tiles[1], [](std::int64_t, std::int64_t) { return false; }).empty());

    // A sheet the download host does not have gives an empty path, not an error text.
    EXPECT_TRUE(resolver.download(LidarTile{"x", sheetUrl("DanePomiaroweLAZ", "brak.laz"), 0, 2180}).empty());
}

TEST_F(TileIndexSim, HeightLookupTakesTheFirstSheetWithAHeightThere) {
    // Inside the western sheet's hole the eastern sheet answers; elsewhere the western sheet does.
    const geodesy::PlanarPoint hole{kHills.e + kHoleDe, kHills.n + kHoleDn};
    const geodesy::PlanarPoint west{kHills.e - 300, kHills.n + 200};
    for (const geodesy::PlanarPoint& at : {hole, west}) {
        const auto height = importer::lookupTerrainHeight(client, at);
        ASSERT_TRUE(height.has_value());
        EXPECT_NEAR(*height, hillsHeight(at.x, at.y), 0.05);
    }

    for (const Site* site : {&kNodata, &kBroken, &kUncovered})
        EXPECT_FALSE(importer::lookupTerrainHeight(client, {site->e, site->n}).has_value()) << site->name;
    EXPECT_DOUBLE_EQ(importer::lookupTerrainHeight(client, {kFlat.e, kFlat.n}).value_or(0), kFlatHeight);
}
