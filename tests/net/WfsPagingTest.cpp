// County WFS answers as real servers give them: a tile holding more features than one answer carries is paged
// (next link or STARTINDEX) or split, what no way brings is counted, and 8-bit answers read as UTF-8.
#include <gtest/gtest.h>

#include <set>

#include "SimFixture.h"
#include "WfsService.h"
#include "net/FeaturePage.h"
#include "net/WfsLayerFetcher.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

namespace {
const std::string kHost = "geoportal.powiat.example.pl", kPath = "/iip/ows", kBase = "https://" + kHost + kPath;
const std::string kParcels = "ms:dzia\xC5\x82ki";  // "działki"
constexpr std::size_t kDense = 1800;
}  // namespace

class CountyWfs : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        client.options.hostIntervalMs = 0;
        // 1,800 parcels of 8 m in one 500 m tile, as in a dense town centre.
        auto store = std::make_shared<sim::FeatureStore>();
        for (int i = 0; i < 45; ++i)
            for (int j = 0; j < 40; ++j)
                store->add(kParcels, {platform::cformat("d.%d", i * 40 + j),
                                      {square(637010 + i * 10.0, 486010 + j * 10.0, 8)},
                                      {},
                                      {},
                                      {{"NAZWA_OBREBU", "\xC5\x81osie\xC5\x84"}}});  // "Łosień"
        service = std::make_shared<sim::WfsService>(store);
        sim.scenario().addWfs(kHost, kPath, service);
    }
    std::vector<gml::GisFeature> fetch(net::TiledFetchOutcome& outcome) {
        return net::fetchTiledFeatures(client, kBase, kParcels, {637000, 486000, 637500, 486500},
                                       formats::DataType::dzialki, nullptr, true, false, 0, &outcome);
    }
    std::shared_ptr<sim::WfsService> service;
};

TEST_F(CountyWfs, EveryKindOfPagingBringsTheWholeTileAndTheRestIsCounted) {
    struct Case {
        const char* name;
        sim::WfsPaging paging;
        std::size_t requests;  // GetFeature and GetCapabilities
    };
    for (const Case& c : std::vector<Case>{{"GeoServer, page of COUNT", {1000, sim::PagingStyle::GeoServer}, 2},
                                           {"GeoServer, page below COUNT", {700, sim::PagingStyle::GeoServer}, 3},
                                           {"MapServer", {500, sim::PagingStyle::MapServer}, 4},
                                           // Quartered, one quarter once more; the capabilities say no paging.
                                           {"no paging", {600, sim::PagingStyle::None}, 1 + 1 + 4 + 4}}) {
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
        EXPECT_EQ(std::tuple(outcome.failed, outcome.missingFeatures, outcome.cutTiles), std::tuple(0, 0LL, 0));
        EXPECT_EQ(sim.log().size(), c.requests);
    }
    // Ten features an answer without paging: even 62.5 m quarters hold more, and the rest is counted.
    service->paging = {10, sim::PagingStyle::None};
    client.options.cacheDir = temp.path / "ten";
    net::TiledFetchOutcome outcome;
    const std::size_t got = fetch(outcome).size();
    EXPECT_LT(got, kDense);
    EXPECT_GE(got + static_cast<std::size_t>(outcome.missingFeatures), kDense);
}

TEST_F(CountyWfs, TypeNamesAndTextsOfAnEightBitServiceReadAsUtf8) {
    for (const sim::Fault& fault : {sim::Fault{.host = kHost, .encoding = "windows-1250"},
                                    sim::Fault{.host = kHost, .encoding = "ISO-8859-2", .charsetInHeader = true}}) {
        sim.faults().clear();
        sim.faults().add(fault);
        client.options.cacheDir = temp.path / fault.encoding;
        net::WfsLayerFetcher fetcher(client);
        std::string parcelType, buildingType;
        ASSERT_TRUE(fetcher.discoverTypeNames(kBase, parcelType, buildingType)) << fault.encoding;
        EXPECT_EQ(parcelType, kParcels);
        const auto parcels = fetcher.fetchCountyLayer(kBase, parcelType, {637000, 486000, 637015, 486015},
                                                      formats::DataType::dzialki, {});
        ASSERT_EQ(parcels.size(), 1u);
        EXPECT_EQ(parcels[0].props.at("NAZWA_OBREBU"), "\xC5\x81osie\xC5\x84");
    }
}

TEST(FeaturePages, RealPagesAndCapabilitiesSayWhatTheyHold) {
    GD_REQUIRE_REALDATA("gml/paging");
    const auto real = [](const std::string& name) {
        return testsupport::readFile(testsupport::realdata("gml/paging/" + name));
    };
    // MapServer cut at COUNT=1: only its next link tells that more remains.
    const net::FeaturePage page = net::readFeaturePage(real("kartograf_prg_A02_truncated_count1_next.xml"));
    EXPECT_EQ(std::tuple(page.matched, page.count(), page.members), std::tuple(-1LL, 1LL, 1LL));
    std::string start;
    ASSERT_TRUE(net::urlParameter(page.next, "startindex", start));
    EXPECT_EQ(start, "1");
    for (const auto& [file, paging, countDefault] :
         {std::tuple{"owslib_wfs_dov_getcapabilities_200.xml", true, 10000LL},
          {"owslib_wfs_CUZK_GetCapabilities_2_0_0.xml", false, 0LL},
          {"owslib_wfs_koeln_arcgis_getcapabilities_200.xml", true, 0LL}}) {
        const net::ResultPaging stated = net::readResultPaging(real(file));
        EXPECT_EQ(std::tuple(stated.implemented, stated.countDefault), std::tuple(paging, countDefault)) << file;
    }
}
