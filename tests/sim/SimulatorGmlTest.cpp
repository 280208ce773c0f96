// The simulator's GML, read back by the project's GML parser, gives the stored PL-1992 geometry, whatever system
// and WFS version it was asked in, also after the tiled fetch merged several answers.
#include <gtest/gtest.h>

#include "../net/SimFixture.h"
#include "WfsService.h"
#include "formats/gml/GmlParser.h"

using formats::DataType;
using gml::GmlParser;

namespace {
std::vector<geodesy::PlanarPoint> square(double e, double n, double size) {
    return {{e, n}, {e + size, n}, {e + size, n + size}, {e, n + size}, {e, n}};
}
}  // namespace

class SimulatorGml : public SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        client.options.hostIntervalMs = 0;
        auto store = std::make_shared<sim::FeatureStore>();
        store->add("ms:dzialki", {"d1", {square(637100, 486100, 30)}, {}, {}, {{"ID_DZIALKI", "146501_1.0001.1"}}});
        store->add("ms:dzialki", {"d2", {square(637650, 486550, 30)}, {}, {}, {{"ID_DZIALKI", "146501_1.0001.2"}}});
        sim.scenario().addWfs("county.example.pl", "/ows", std::make_shared<sim::WfsService>(store));
    }
    const std::string base = "https://county.example.pl/ows";
};

TEST_F(SimulatorGml, CoordinatesSurviveEverySystemAndVersion) {
    // Zone 5 (2176) is left out: its strip lies 6 degrees west of these parcels, where the projection series
    // themselves drift by centimetres.
    for (int epsg : {0, 2177, 2178, 2179}) {
        for (bool wfs110 : {false, true}) {
            const net::HttpResponse r = client.get(net::WfsClient::buildWfsUrl(
                base, "ms:dzialki", geodesy::Bbox{637090, 486090, 637140, 486140}, 100, 0, true, wfs110, epsg));
            ASSERT_EQ(r.status, 200);
            const auto features = GmlParser::parseFeatureCollection(r.body, DataType::dzialki);
            ASSERT_EQ(features.size(), 1u) << "EPSG " << epsg << (wfs110 ? " WFS 1.1.0" : " WFS 2.0.0");
            ASSERT_EQ(features[0].polygons.size(), 1u);
            const auto& ring = features[0].polygons[0].outer;
            ASSERT_GE(ring.size(), 4u);
            EXPECT_NEAR(ring[0].x, 637100, 0.01) << "EPSG " << epsg;
            EXPECT_NEAR(ring[0].y, 486100, 0.01) << "EPSG " << epsg;
            EXPECT_NEAR(ring[2].x, 637130, 0.01) << "EPSG " << epsg;
            EXPECT_NEAR(ring[2].y, 486130, 0.01) << "EPSG " << epsg;
            EXPECT_EQ(features[0].props.at("ID_DZIALKI"), "146501_1.0001.1");
        }
    }
}

TEST_F(SimulatorGml, MergedTilesParseAsOneCollection) {
    const std::string merged = client.fetchWfsTiled(base, "ms:dzialki", geodesy::Bbox{637000, 486000, 638000, 487000},
                                                    nullptr, true, false, 0);
    const auto features = GmlParser::parseFeatureCollection(merged, DataType::dzialki);
    ASSERT_EQ(features.size(), 2u);
    EXPECT_EQ(features[0].props.at("ID_DZIALKI"), "146501_1.0001.1");
    EXPECT_EQ(features[1].props.at("ID_DZIALKI"), "146501_1.0001.2");
    EXPECT_NEAR(features[1].polygons[0].outer[0].x, 637650, 0.01);
}
