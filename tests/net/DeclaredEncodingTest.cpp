// A county WFS answering in windows-1250 or ISO-8859-2 (declared, or named only by the HTTP charset): its type
// names are found in its capabilities and its texts arrive as the UTF-8 they stand for.
#include <gtest/gtest.h>

#include "SimFixture.h"
#include "WfsService.h"
#include "net/WfsLayerFetcher.h"

namespace {
const std::string kHost = "geoportal.powiat.example.pl";
const std::string kPath = "/iip/ows";
const std::string kBase = "https://" + kHost + kPath;
const std::string kParcels = "ms:dzia\xC5\x82ki";      // "działki"
const std::string kPrecinct = "\xC5\x81osie\xC5\x84";  // "Łosień"
}  // namespace

class DeclaredEncoding : public SimFixture {};

TEST_F(DeclaredEncoding, TypeNamesAndTextsOfAnEightBitServiceReadAsUtf8) {
    client.options.hostIntervalMs = 0;
    auto store = std::make_shared<sim::FeatureStore>();
    store->add(kParcels, {"dzialki.1", {square(637100, 486100, 30)}, {}, {}, {{"NAZWA_OBREBU", kPrecinct}}});
    sim.scenario().addWfs(kHost, kPath, std::make_shared<sim::WfsService>(store));
    for (const sim::Fault& fault :
         {sim::Fault{.encoding = "windows-1250"}, sim::Fault{.encoding = "ISO-8859-2", .charsetInHeader = true}}) {
        SCOPED_TRACE(fault.encoding);
        sim.faults().clear();
        sim::Fault f = fault;
        f.host = kHost;
        sim.faults().add(f);
        client.options.cacheDir = temp.path / fault.encoding;
        net::WfsLayerFetcher fetcher(client);
        std::string parcelType, buildingType;
        ASSERT_TRUE(fetcher.discoverTypeNames(kBase, parcelType, buildingType));
        EXPECT_EQ(parcelType, kParcels);
        const std::vector<gml::GisFeature> parcels = fetcher.fetchCountyLayer(
            kBase, parcelType, {637000, 486000, 637300, 486300}, formats::DataType::dzialki, nullptr);
        ASSERT_EQ(parcels.size(), 1u);
        EXPECT_EQ(parcels[0].props.at("NAZWA_OBREBU"), kPrecinct);
    }
}
