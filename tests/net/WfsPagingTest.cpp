// A tile holding more features than the server hands over in one answer: its pages are followed (next link or
// STARTINDEX) or the tile is split, every feature comes once, and what no way brings is counted.
#include <gtest/gtest.h>

#include <set>

#include "SimFixture.h"
#include "WfsService.h"
#include "net/Capabilities.h"
#include "net/FeaturePage.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

using platform::cformat;

namespace {
const std::string kHost = "geoportal.powiat.example.pl";
const std::string kPath = "/iip/ows";
const std::string kBase = "https://" + kHost + kPath;
const geodesy::Bbox kTile{637000, 486000, 637500, 486500};
constexpr std::size_t kDense = 1800;
}  // namespace

class WfsPaging : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        client.options.hostIntervalMs = 0;
        client.options.retryDelayMs = 0;
        // 1,800 parcels of 8 m in one 500 m tile, as in a dense town centre.
        auto store = std::make_shared<sim::FeatureStore>();
        for (int i = 0; i < 45; ++i)
            for (int j = 0; j < 40; ++j)
                store->add("ms:dzialki", {cformat("dzialki.%d", i * 40 + j),
                                          {square(637010 + i * 10.0, 486010 + j * 10.0, 8)},
                                          {},
                                          {},
                                          {{"ID_DZIALKI", cformat("146501_1.0001.%d", i * 40 + j)}}});
        service = std::make_shared<sim::WfsService>(store);
        sim.scenario().addWfs(kHost, kPath, service);
    }

    std::vector<gml::GisFeature> fetch(net::TiledFetchOutcome& outcome, const geodesy::Bbox& box = kTile) {
        return net::fetchTiledFeatures(client, kBase, "ms:dzialki", box, formats::DataType::dzialki, nullptr, true,
                                       false, 0, &outcome);
    }

    std::shared_ptr<sim::WfsService> service;
};

TEST_F(WfsPaging, EveryKindOfServerBringsTheWholeTile) {
    struct Case {
        const char* name;
        sim::WfsPaging paging;
        std::size_t requests;  // GetFeature and GetCapabilities requests
    };
    const std::vector<Case> cases = {
        {"GeoServer, page of COUNT", {1000, sim::PagingStyle::GeoServer}, 2},
        {"GeoServer, page below COUNT", {700, sim::PagingStyle::GeoServer}, 3},
        {"MapServer, page below COUNT", {500, sim::PagingStyle::MapServer}, 4},
        // Without paging the tile is quartered until every quarter comes whole (and the capabilities say so).
        {"no paging", {1000, sim::PagingStyle::None}, 1 + 1 + 4},
        {"no paging, smaller page", {600, sim::PagingStyle::None}, 1 + 1 + 4 + 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        client.options.cacheDir = temp.path / c.name;
        client.resultPagingByService.clear();
        service->paging = c.paging;
        sim.log().clear();
        net::TiledFetchOutcome outcome;
        const std::vector<gml::GisFeature> features = fetch(outcome);
        std::set<std::string> ids;
        for (const gml::GisFeature& f : features) ids.insert(f.id);
        EXPECT_EQ(features.size(), kDense);
        EXPECT_EQ(ids.size(), kDense);
        EXPECT_EQ(outcome.failed, 0);
        EXPECT_EQ(outcome.missingFeatures, 0);
        EXPECT_EQ(outcome.cutTiles, 0);
        EXPECT_EQ(sim.log().size(), c.requests);
        // Once fetched, every page is served from the cache.
        sim.log().clear();
        EXPECT_EQ(fetch(outcome).size(), kDense);
        EXPECT_EQ(sim.log().size(), 0u);
    }
}

TEST_F(WfsPaging, WhatNeitherPagingNorSplittingBringsIsCounted) {
    // A server without paging that hands over 10 features: even 62.5 m quarters hold more.
    service->paging = {10, sim::PagingStyle::None};
    net::TiledFetchOutcome outcome;
    const std::vector<gml::GisFeature> features = fetch(outcome);
    EXPECT_EQ(outcome.failed, 0);
    EXPECT_LT(features.size(), kDense);
    EXPECT_GE(features.size() + static_cast<std::size_t>(outcome.missingFeatures), kDense);
    EXPECT_EQ(outcome.cutTiles, 0) << "the server counts what it holds";
}

TEST(FeaturePages, RealPagesAndCapabilitiesSayWhatTheyHold) {
    GD_REQUIRE_REALDATA("gml/paging");
    const auto real = [](const std::string& name) {
        return testsupport::readFile(testsupport::realdata("gml/paging/" + name));
    };
    // MapServer cut at COUNT=1: only its next link tells that more remains.
    const net::FeaturePage page = net::readFeaturePage(real("kartograf_prg_A02_truncated_count1_next.xml"));
    EXPECT_EQ(page.matched, -1);
    EXPECT_EQ(page.count(), 1);
    EXPECT_EQ(page.members, 1);
    std::string start;
    ASSERT_TRUE(net::urlParameter(page.next, "startindex", start));
    EXPECT_EQ(start, "1");
    EXPECT_EQ(page.next.find("&amp;"), std::string::npos);

    struct Caps {
        const char* file;
        bool paging;
        long long countDefault;
    };
    for (const Caps& c : {Caps{"owslib_wfs_dov_getcapabilities_200.xml", true, 10000},
                          Caps{"owslib_wfs_CUZK_GetCapabilities_2_0_0.xml", false, 0},
                          Caps{"owslib_wfs_koeln_arcgis_getcapabilities_200.xml", true, 0}}) {
        const net::ResultPaging paging = net::readResultPaging(real(c.file));
        EXPECT_EQ(paging.implemented, c.paging) << c.file;
        EXPECT_EQ(paging.countDefault, c.countDefault) << c.file;
    }
}
