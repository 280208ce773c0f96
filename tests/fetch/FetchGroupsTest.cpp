// The 2D layer groups of a fetch against the Polish scenario: sources, fallbacks, warnings in order,
// report lines and progress labels; broken answers end as warnings and never stop the later groups.
#include <gtest/gtest.h>

#include <memory>

#include "FetchFixture.h"
#include "WfsService.h"
#include "WmsService.h"
#include "import/FetchFrame.h"
#include "import/RasterFetch.h"
#include "net/ServiceEndpoints.h"
#include "net/ServiceRegistry.h"

namespace importer {

using namespace sim::poland;

namespace {

bool allInside(const FetchedData& data, const geodesy::Bbox& frame) {
    for (const gml::GisFeature& f : data.features)
        for (const gml::GisPolygon& p : f.polygons)
            for (const geodesy::PlanarPoint& v : p.outer)
                if (v.x < frame.minE - 0.01 || v.x > frame.maxE + 0.01 || v.y < frame.minN - 0.01 ||
                    v.y > frame.maxN + 0.01)
                    return false;
    return true;
}

using Cadastre = FetchSim;

TEST_F(Cadastre, CountiesOfEveryRequestFormGiveTheWholeBlock) {
    for (const Place* place : {&kWarszawa, &kZamosc, &kZary}) {
        SCOPED_TRACE(place->name);
        municipalities = net::MunicipalityCache{};
        const FetchedData data = fetchAt(*place, {"dzialki", "budynki"});
        EXPECT_EQ(data.warning, "");
        EXPECT_EQ(countOfType(data, formats::DataType::dzialki), kBlockParcels);
        EXPECT_EQ(countOfType(data, formats::DataType::budynki), kBlockBuildings);
        // Parcels first, then buildings; all in PL-1992 on the frame whatever system the county answered in.
        ASSERT_FALSE(data.features.empty());
        EXPECT_EQ(data.features.front().type, formats::DataType::dzialki);
        EXPECT_EQ(data.features.back().type, formats::DataType::budynki);
        EXPECT_TRUE(allInside(data, frameAt(*place)));
    }
}

using Utilities = FetchSim;

TEST_F(Utilities, PipeLayersOfTheCountyWfsBecomeFeaturesTaggedWithTheirLayer) {
    const FetchedData data = fetchAt(kZamosc, {"gesut"});
    ASSERT_EQ(countOfType(data, formats::DataType::gesut), kPipeLayers * kPipesPerLayer);
    std::map<std::string, int> perLayer;
    for (const gml::GisFeature& f : data.features) {
        ++perLayer[f.props.at("rodzajSieci")];
        EXPECT_EQ(f.lines.size(), 1u);
    }
    EXPECT_EQ(perLayer, (std::map<std::string, int>{{"ewns:przewod_gazowy", kPipesPerLayer},
                                                    {"ewns:przewod_kanalizacyjny", kPipesPerLayer},
                                                    {"ewns:przewod_wodociagowy", kPipesPerLayer}}));
    EXPECT_TRUE(hasLabel(labels, "GESUT (WFS)"));
}

using BaseMapAndOrtho = FetchSim;

TEST_F(BaseMapAndOrtho, CountyBaseMapIsOneRasterOfItsThematicLayers) {
    const FetchedData data = fetchAt(kZamosc, {"bdot500"});
    EXPECT_EQ(data.warning, "");
    ASSERT_EQ(data.rasters.size(), 1u);
    EXPECT_EQ(data.rasters[0].type, formats::DataType::bdot500);
    EXPECT_EQ(data.rasters[0].epsg, 2179);
    const auto maps = requestsTo(net::findCountyBdot500(kZamosc.teryt7).wmsUrl);
    ASSERT_EQ(maps.size(), 2u);
    EXPECT_NE(maps[1].query.find("layers=bdot500_budowle%2Cbdot500_komunikacja&"), std::string::npos);
}

TEST_F(BaseMapAndOrtho, OrthophotoUsesQuarterMetrePixelsInTheFetchZone) {
    const FetchedData data = fetch({"rastr"}, frameAt(kWarszawa), 2178, 20000);
    EXPECT_EQ(data.warning, "");
    ASSERT_EQ(data.rasters.size(), 1u);
    EXPECT_EQ(data.rasters[0].type, formats::DataType::rastry);
    EXPECT_EQ(data.rasters[0].epsg, 2178);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("gestosc 0.25 m/px (1:892)"), std::string::npos) << reports[0];
    const auto maps = requestsTo(net::serviceEndpoints().orthophotoWms());
    ASSERT_EQ(maps.size(), 1u);
    EXPECT_NE(maps[0].query.find("layers=Raster&"), std::string::npos);
    EXPECT_NE(maps[0].query.find("SRS=EPSG%3A2178"), std::string::npos);
}

using Notes = FetchSim;

TEST_F(Notes, FallbacksAndFailuresEndInTheirWarning) {
    // A fetch of the keys around the place (none: a frame in Germany) with the faults; `features` -1 is some.
    const auto expectFetch = [&](const char* name, const Place* place, const std::vector<std::string>& keys,
                                 const std::vector<sim::Fault>& faults, const std::string& warning, int features,
                                 std::size_t rasters, double width = 300, double height = 300) {
        SCOPED_TRACE(name);
        sim.faults().clear();
        for (const sim::Fault& f : faults) sim.faults().add(f);
        sim.log().clear();
        municipalities = net::MunicipalityCache{};
        client.options.cacheDir = temp.path / name;
        const FetchedData data = place != nullptr ? fetch(keys, frameAt(*place, width, height), place->zoneEpsg)
                                                  : fetch(keys, pl1992FrameFromWgs84(12.0, 51.0, 12.004, 51.003), 2176);
        EXPECT_EQ(data.warning, warning);
        if (features < 0) {
            EXPECT_GT(data.features.size(), 0u);
        } else {
            EXPECT_EQ(data.features.size(), std::size_t(features));
        }
        EXPECT_EQ(data.rasters.size(), rasters);
        return data;
    };
    // The last request to a service's URL carries the text.
    const auto expectLastQuery = [&](const std::string& url, const std::string& text) {
        const auto maps = requestsTo(url);
        ASSERT_FALSE(maps.empty());
        EXPECT_NE(maps.back().query.find(text), std::string::npos) << maps.back().query;
    };
    const std::string bdot10k = "Budynki z BDOT10k NoweBudynki (fallback - tylko nowe obiekty).";
    const std::string egib = net::findCountyEgibWfs(kWarszawa.teryt7);
    const std::string kiut = net::serviceEndpoints().utilityIntegrationWms();
    const net::ServiceUrls gesutZary = net::findCountyGesut(kZary.teryt7);

    expectFetch("county buildings not filtered", &kZabrze, {"dzialki", "budynki"}, {},
                "Powiatowa usluga zwraca dzialki, ale nie filtruje budynkow po obszarze (blad konfiguracji serwera "
                "powiatu - np. Zabrze). " +
                    bdot10k,
                kBlockParcels + kNewBuildingsPerPlace, 0);
    EXPECT_TRUE(hasLabel(labels, "Import: budynki (BDOT10k)"));
    expectFetch("county WFS silent", &kWroclaw, {"budynki"}, {}, "Powiatowa usluga WFS EGiB nie odpowiada. " + bdot10k,
                kNewBuildingsPerPlace, 0);
    expectFetch("outside Poland", nullptr, {"dzialki"}, {},
                "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru.", 0, 0);
    expectFetch("county service failing", &kWarszawa, {"dzialki"},
                {faultOn(egib, {.statuses = {200}}), faultOn(egib, {.htmlOk = true})},
                "Brak dzialek dla tego obszaru. Dzialki: usluga WFS nie odpowiada (1 z 1 platek WFS bez danych).", 0,
                0);
    // The capabilities answer, then the first tile and its retry fail; the other five tiles come.
    expectFetch("tile lost after its retries", &kWarszawa, {"dzialki"}, {faultOn(egib, {.statuses = {200, 503, 503}})},
                "Dzialki: nie pobrano 1 z 6 platek WFS - dane niepelne.", -1, 0, 1200, 800);
    const FetchedData zary = expectFetch("WFS without pipes", &kZary, {"gesut"}, {},
                                         "GESUT jako rastr (WMS powiatowy) - brak WFS lub brak przewodow w WFS.", 0, 1);
    for (const RasterImage& r : zary.rasters) {
        EXPECT_EQ(r.type, formats::DataType::gesut);
        EXPECT_EQ(r.epsg, kZary.zoneEpsg);
    }
    EXPECT_FALSE(hasLabel(labels, "GESUT (WFS)"));  // the WFS has no pipe layer to fetch
    // Network layers only: the parcel layer of the same service is left out.
    expectLastQuery(gesutZary.wmsUrl, "layers=siec_wodociagowa%2Csiec_gazowa&");
    expectFetch("no county utility service", &kWarszawa, {"gesut"}, {},
                "GESUT: powiat nie publikuje uslugi w EZiU. GESUT z krajowej integracji (KIUT) jako rastr.", 0, 1);
    expectLastQuery(kiut, "layers=przewod_wodociagowy%2Cprzewod_kanalizacyjny%2C");
    EXPECT_EQ(requestsTo(kiut).size(), 2u);  // capabilities, one tile
    expectFetch("national integration failing", &kWarszawa, {"gesut"}, {faultOn(kiut, {.exceptionDocument = true})},
                "GESUT: powiat nie publikuje uslugi w EZiU.", 0, 0);
    expectFetch("base map failing", &kZamosc, {"bdot500"},
                {faultOn(net::findCountyBdot500(kZamosc.teryt7).wmsUrl, {.statuses = {503, 503}})},
                "BDOT500: usluga WMS nie odpowiada.", 0, 0);
    // The county's utility maps: capabilities pass, every map request gets an exception document.
    sim.scenario().addHandler(hostOf(gesutZary.wmsUrl), pathOf(gesutZary.wmsUrl),
                              [](const sim::SimRequest& r, sim::SimResponse& out) {
                                  if (r.param("request") != "GetMap") return false;
                                  out.contentType = "application/vnd.ogc.se_xml";
                                  out.body = sim::wmsExceptionReport("InvalidDimensionValue", "Zbyt duzy obraz");
                                  return true;
                              });
    expectFetch("county maps failing", &kZary, {"gesut"}, {}, "GESUT: powiatowa usluga nie odpowiada.", 0, 0);
}

TEST_F(Notes, CountyWithoutALandRegisterServiceIsNamed) {
    // A municipality whose county has no land-register service in the registry.
    auto prg = std::make_shared<sim::FeatureStore>();
    const geodesy::PlanarPoint c = centre1992(kZamosc);
    const std::vector<geodesy::PlanarPoint> ring = {{c.x - 500, c.y - 500},
                                                    {c.x + 500, c.y - 500},
                                                    {c.x + 500, c.y + 500},
                                                    {c.x - 500, c.y + 500},
                                                    {c.x - 500, c.y - 500}};
    prg->add("ms:A03_Granice_gmin", {"A03.1", {ring}, {}, {}, {{"JPT_KOD_JE", "3299011"}}});
    const std::string prgUrl = net::serviceEndpoints().prgWfs();
    sim.scenario().addWfs(hostOf(prgUrl), pathOf(prgUrl), std::make_shared<sim::WfsService>(prg));
    EXPECT_EQ(fetchAt(kZamosc, {"dzialki"}).warning,
              "Powiat (TERYT 3299) nie publikuje WFS EGiB w EZiU. Brak dzialek dla tego obszaru.");
}

using Orchestration = FetchSim;

TEST_F(Orchestration, HostileGmlFromTheCountyIsSurvived) {
    const std::string egib = net::findCountyEgibWfs(kZamosc.teryt7);
    const std::vector<std::string> bodies = {
        std::string("\0\xff\xfe<wfs:FeatureCollection", 26),
        "<wfs:FeatureCollection><wfs:member><ewns:dzialki><ewns:geom><gml:Polygon><gml:exterior><gml:LinearRing>"
        "<gml:posList>1e308 1e308 nan inf -inf 5</gml:posList></gml:LinearRing></gml:exterior></gml:Polygon>",
        std::string(200000, '<'),
        "<!DOCTYPE x [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]><x>&b;&b;&b;</x>",
    };
    for (std::size_t i = 0; i < bodies.size(); ++i) {
        SCOPED_TRACE(i);
        sim::Scenario& s = sim.scenario();
        const std::string body = bodies[i];
        s.addHandler(hostOf(egib), pathOf(egib), [body](const sim::SimRequest& r, sim::SimResponse& out) {
            if (r.param("request") != "GetFeature") return false;
            out.contentType = "application/gml+xml";
            out.body = body;
            return true;
        });
        client.options.cacheDir = temp.path / ("hostile" + std::to_string(i));
        const FetchedData data = fetchAt(kZamosc, {"dzialki", "gesut"});
        EXPECT_EQ(countOfType(data, formats::DataType::gesut), kPipeLayers * kPipesPerLayer);
    }
}

}  // namespace

}  // namespace importer
