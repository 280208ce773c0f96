// A WFS layer fetched over 500 m tiles from the simulator: the grid, the merge, the cache and failing tiles.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <tuple>

#include "SimFixture.h"
#include "SimHttp.h"
#include "WfsService.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"

using platform::cformat, platform::parseDouble;

namespace {
const std::string kHost = "mapy.geoportal.gov.pl";
const std::string kPath = "/wss/service/PZGIK/BDOT10k/WFS/NoweBudynki";
const std::string kBase = "https://" + kHost + kPath;

// The box of a logged GetFeature as (min e, min n, max e, max n), read northing first.
std::tuple<double, double, double, double> boxOf(const sim::LoggedRequest& r) {
    sim::SimRequest parsed;
    parsed.params = sim::parseQuery(r.query);
    const std::string box = parsed.param("BBOX");
    double v[4] = {0, 0, 0, 0};
    std::size_t pos = 0;
    for (double& x : v) {
        const auto end = box.find(',', pos);
        parseDouble(box.substr(pos, end - pos), x);
        pos = end + 1;
    }
    return {v[1], v[0], v[3], v[2]};
}
}  // namespace

class TiledFetch : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        auto store = std::make_shared<sim::FeatureStore>();
        // One building inside each of the six tiles, and one across the edge between the first two columns.
        int id = 0;
        for (double e : {637100.0, 637600.0, 638100.0})
            for (double n : {486100.0, 486550.0})
                store->add("ms:bud_2025",
                           {"b" + cformat("%d", ++id), {square(e, n, 20)}, {}, {}, {{"NR", cformat("%d", id)}}});
        store->add("ms:bud_2025", {"edge", {square(637490, 486200, 20)}, {}, {}, {{"NR", "edge"}}});
        store->add("ms:bud_2025", {"outside", {square(640000, 490000, 20)}, {}, {}, {}});
        sim.scenario().addWfs(kHost, kPath, std::make_shared<sim::WfsService>(store));
    }

    std::string fetch(std::vector<std::pair<int, int>>* progress = nullptr,
                      const geodesy::Bbox& box = {637000, 486000, 638200, 486700}) {
        return client.fetchWfsTiled(
            kBase, "ms:bud_2025", box,
            [progress](int done, int total) {
                if (progress) progress->emplace_back(done, total);
            },
            true, false, 0);
    }
};

TEST_F(TiledFetch, BoxOf1200By700MetresIsSixTilesMergedIntoOneCollection) {
    client.options.hostIntervalMs = 0;
    std::vector<std::pair<int, int>> progress;
    const std::string merged = fetch(&progress);
    const auto log = sim.log().all();
    ASSERT_EQ(log.size(), 6u);
    std::set<std::tuple<double, double, double, double>> boxes;
    for (const auto& r : log) boxes.insert(boxOf(r));
    const std::set<std::tuple<double, double, double, double>> expected = {
        {637000, 486000, 637500, 486500}, {637000, 486500, 637500, 486700}, {637500, 486000, 638000, 486500},
        {637500, 486500, 638000, 486700}, {638000, 486000, 638200, 486500}, {638000, 486500, 638200, 486700}};
    EXPECT_EQ(boxes, expected);
    EXPECT_NE(log[0].query.find("typenames=ms%3Abud_2025&COUNT=1000&BBOX="), std::string::npos) << log[0].query;
    // Six buildings once each, the edge building once per tile it meets; one document.
    EXPECT_EQ(count(merged, "<wfs:member>"), 8);
    EXPECT_EQ(count(merged, "gml:id=\"edge\""), 2);
    EXPECT_EQ(count(merged, "<wfs:FeatureCollection"), 1);
    EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 6}, {2, 6}, {3, 6}, {4, 6}, {5, 6}, {6, 6}}));

    // Served again from the cache without any request.
    EXPECT_EQ(fetch(), merged);
    EXPECT_EQ(sim.log().size(), 6u);
}

TEST_F(TiledFetch, UnusableTilesAreCountedNeverCachedAndAskedAgainNextTime) {
    client.options.hostIntervalMs = 0;
    client.options.retryDelayMs = 0;
    // Each fault answers a tile and its retry with status 200 in place of data (which answers are data is
    // checked on the cached text).
    const std::vector<sim::Fault> faults = {{.host = kHost, .path = kPath, .exceptionDocument = true, .times = 2},
                                            {.host = kHost, .path = kPath, .times = 2, .cutBodyAt = 300}};
    for (const sim::Fault& fault : faults) {
        SCOPED_TRACE(sim.log().size());
        sim.log().clear();
        std::filesystem::remove_all(client.cacheFolder());
        sim.faults().add(fault);
        net::TiledFetchOutcome outcome;
        const std::string first = client.fetchWfsTiled(kBase, "ms:bud_2025", {637000, 486000, 638200, 486700}, nullptr,
                                                       true, false, 0, &outcome);
        EXPECT_EQ(outcome.tiles, 6);
        EXPECT_EQ(outcome.failed, 1);
        // The first tile holds two buildings (one is the edge building).
        EXPECT_EQ(count(first, "<wfs:member>"), 8 - 2) << "the members of the other tiles still arrive";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(client.cacheFolder()), {}), 5);
        EXPECT_EQ(count(fetch(), "<wfs:member>"), 8) << "after the fault the whole layer comes";
        EXPECT_EQ(sim.log().size(), 7u + 1u) << "only the failed tile is asked again";
    }
}

TEST_F(TiledFetch, EntriesCachedByAnEarlierVersionThatAreNoDataAreDropped) {
    client.options.hostIntervalMs = 0;
    EXPECT_EQ(count(fetch(), "<wfs:member>"), 8);
    std::vector<std::filesystem::path> entries(std::filesystem::directory_iterator(client.cacheFolder()), {});
    std::sort(entries.begin(), entries.end());
    testsupport::writeFile(entries[0], "");
    testsupport::writeFile(entries[1], "<html><body>Blad 502</body></html>");
    sim.log().clear();
    fetch();
    EXPECT_EQ(sim.log().size(), 2u);
    for (const auto& entry : entries) EXPECT_GT(std::filesystem::file_size(entry), 100u);
}

TEST_F(TiledFetch, MembersOfOlderFormAnswersAreAllMergedAndHugeFramesRefused) {
    client.options.hostIntervalMs = 0;
    net::TiledFetchOutcome outcome;
    const std::string merged =
        client.fetchWfsTiled(kBase, "ms:bud_2025", {637000, 486000, 638200, 486700}, nullptr, true, true, 0, &outcome);
    EXPECT_EQ(count(merged, "<gml:featureMember"), 8);
    EXPECT_EQ(outcome.failed, 0);

    sim.log().clear();
    const geodesy::Bbox poland{170000, 130000, 870000, 780000};
    EXPECT_EQ(client.fetchWfsTiled(kBase, "ms:bud_2025", poland, nullptr, true, false, 0, &outcome), "");
    EXPECT_TRUE(outcome.refused);
    EXPECT_EQ(sim.log().size(), 0u);

    // A cancel is honoured between tiles: no request after it.
    int done = 0;
    client.options.cancelQuery = [&done] { return done >= 2; };
    client.fetchWfsTiled(
        kBase, "ms:bud_2025", {637000, 486000, 638200, 486700}, [&done](int d, int) { done = d; }, true, false, 0,
        &outcome);
    EXPECT_TRUE(outcome.cancelled);
    EXPECT_EQ(outcome.failed, 4);
    EXPECT_EQ(sim.log().size(), 2u);
}

TEST_F(TiledFetch, DegenerateBoxesAskNothing) {
    std::vector<std::pair<int, int>> progress;
    const double inf = std::numeric_limits<double>::infinity();
    for (const geodesy::Bbox& box :
         {geodesy::Bbox{637000, 486000, 637000, 486500}, geodesy::Bbox{637000, 486000, inf, 486500},
          geodesy::Bbox{637000, 486000, std::nan(""), 486500}})
        EXPECT_EQ(fetch(&progress, box), "");
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(sim.log().size(), 0u);
}

TEST_F(TiledFetch, ABoxFarFromTheOriginStillEnds) {
    // At 2^62 m one step of 500 m is lost in rounding; the grid must still end after its columns.
    client.options.hostIntervalMs = 0;
    const double far = 4611686018427387904.0;
    std::vector<std::pair<int, int>> progress;
    fetch(&progress, {far, 486000, far + 2048, 486500});
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().second, 5);
    EXPECT_LE(progress.back().first, 5);
    // Tiles that print alike at 10 digits share one cache entry, so fewer requests may go out.
    EXPECT_GE(sim.log().size(), 1u);
    EXPECT_LE(sim.log().size(), static_cast<std::size_t>(progress.back().first));
}

TEST_F(TiledFetch, AFeatureAcrossTileEdgesComesOnce) {
    client.options.hostIntervalMs = 0;
    std::multiset<std::string> ids;
    for (const gml::GisFeature& f :
         net::fetchTiledFeatures(client, kBase, "ms:bud_2025", {637000, 486000, 638200, 486700},
                                 formats::DataType::budynki, nullptr, true, false, 0))
        ids.insert(f.id);
    EXPECT_EQ(ids, (std::multiset<std::string>{"b1", "b2", "b3", "b4", "b5", "b6", "edge"}));

    // Without a gml:id the layer's identifier decides (within one type), without that the geometry.
    const auto feature = [](std::string id, std::map<std::string, std::string> props, double e) {
        gml::GisFeature f;
        f.id = std::move(id);
        f.props = std::move(props);
        f.polygons.push_back({square(e, 486000, 10), {}});
        return f;
    };
    std::vector<gml::GisFeature> arrivals = {feature("a", {}, 0),
                                             feature("a", {}, 1),
                                             feature("b", {}, 0),
                                             feature("", {{"ID_DZIALKI", "1.1"}}, 1),
                                             feature("", {{"ID_DZIALKI", "1.1"}}, 2),
                                             feature("", {{"_typ", "dzialki"}, {"ID_DZIALKI", "1.1"}}, 1),
                                             feature("", {{"NR", "7"}}, 2),
                                             feature("", {{"NR", "7"}}, 2),
                                             feature("", {{"NR", "7"}}, 3)};
    EXPECT_EQ(net::dropRepeatedFeatures(arrivals), 3u);
}
