// LOD1 and LOD2 county packages against the simulator: addresses and years, sheets read only where they touch
// the frame, the side index sparing the second fetch any scan, and a damaged package removed with its index.
#include <gtest/gtest.h>

#include <filesystem>

#include "BuildingPackages.h"
#include "FetchFixture.h"
#include "buildings/BuildingPackage.h"
#include "net/ServiceEndpoints.h"

namespace importer {

namespace {

using namespace sim::packages;

class BuildingModels : public FetchSim {
protected:
    // The demo's land register (PL-1992), 600 m square around its centre.
    static constexpr geodesy::Bbox kDemo{637082, 486457, 637682, 487057};

    FetchedData fetchModels(const std::vector<std::string>& keys, const geodesy::Bbox& frame = kDemo) {
        return fetch(keys, frame, geodesy::kEpsgPl1992);
    }
    std::vector<std::string> paths(const std::string& host) {
        std::vector<std::string> out;
        for (const auto& r : sim.log().matching(host)) out.push_back(r.path);
        return out;
    }
    const std::string portal = sim::poland::hostOf(net::serviceEndpoints().openData);
};

TEST_F(BuildingModels, PackagesOfTheCountyGiveTheBuildingsOfTheFrame) {
    auto& inflations = buildings::packageInflations();
    const auto prefixes = inflations.prefixes.load(), reads = inflations.sheetReads.load();
    FetchedData data = fetchModels({"budynki3d", "budynkilod2"});
    EXPECT_EQ(data.buildings3d.size(), 200u);
    EXPECT_EQ(data.buildingsLod2.size(), 100u);
    EXPECT_EQ(data.buildings3dNote, "Modele 3D: LOD1 2022, powiat 1465, budynkow w kadrze: 200");
    EXPECT_EQ(data.buildingsLod2Note, "Budynki LOD2: powiat 1465, budynkow w kadrze: 100");
    EXPECT_EQ(data.warning, data.buildings3dNote + " " + data.buildingsLod2Note);
    EXPECT_EQ(paths(portal), (std::vector<std::string>{"/InneDane/Budynki3D/LOD1/2024/14/1465.zip",
                                                       "/InneDane/Budynki3D/LOD1/2022/14/1465.zip",
                                                       "/InneDane/Budynki3D/LOD2/1465_gml.zip"}));
    // Every sheet scanned once; all but the far one read.
    const auto scanned = inflations.prefixes - prefixes, read = inflations.sheetReads - reads;
    EXPECT_GT(scanned, 2);
    EXPECT_EQ(read, scanned - 2);
    ASSERT_FALSE(downloads.empty());
    EXPECT_EQ(downloads.front().rfind("Modele 3D: pobieranie ", 0), 0u);

    // Again from the cache: only the missing year asked again, no scan, the same sheets read.
    sim.log().clear();
    const auto prefixes2 = inflations.prefixes.load(), reads2 = inflations.sheetReads.load();
    data = fetchModels({"budynki3d", "budynkilod2"});
    EXPECT_EQ(data.buildings3d.size(), 200u);
    EXPECT_EQ(paths(portal), std::vector<std::string>{"/InneDane/Budynki3D/LOD1/2024/14/1465.zip"});
    EXPECT_EQ(inflations.prefixes - prefixes2, 0);
    EXPECT_EQ(inflations.sheetReads - reads2, read);

    // A small frame on the edge of one building reads only its sheet.
    const auto& b = data.buildings3d.front();
    data = fetchModels({"budynki3d"}, {b.footprint[0].x - 1, b.footprint[0].y - 1, b.footprint[0].x, b.footprint[0].y});
    EXPECT_EQ(data.buildings3d.size(), 1u);
}

TEST_F(BuildingModels, DamagedPackageIsRemovedWithItsIndexAndFetchedAgain) {
    const std::string url = net::serviceEndpoints().buildings3dLod2(kDemoCounty);
    auto damaged = std::make_shared<bool>(true);
    const std::string whole = packageBytes(demoBuildings(true), true, kDemoCounty);
    sim.scenario().addHandler(portal, sim::poland::pathOf(url), [damaged, whole](const auto&, auto& response) {
        response.body = *damaged ? whole.substr(0, whole.size() / 2) : whole;
        return true;
    });
    FetchedData data = fetchModels({"budynkilod2"});
    EXPECT_TRUE(data.buildingsLod2.empty());
    EXPECT_EQ(data.warning.rfind("Budynki LOD2: Nie mozna otworzyc paczki modeli 3D: ", 0), 0u) << data.warning;
    EXPECT_NE(data.warning.find(" Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie. Brak budynkow LOD2 "
                                "dla tego obszaru (pokrycie GUGiK ~236/380 powiatow)."),
              std::string::npos);
    for (const auto& entry : std::filesystem::directory_iterator(client.cacheFolder()))
        EXPECT_EQ(entry.path().string().find(".zip"), std::string::npos) << entry.path();

    *damaged = false;
    data = fetchModels({"budynkilod2"});
    EXPECT_EQ(data.buildingsLod2.size(), 100u);
}

TEST_F(BuildingModels, CountyWithoutPackages) {
    const FetchedData data = fetchModels({"budynki3d"}, frameAt(sim::poland::kZamosc));
    EXPECT_TRUE(data.buildings3d.empty());
    EXPECT_EQ(data.warning.rfind("Modele 3D: ", 0), 0u);
    EXPECT_EQ(paths(portal).size(), 4u);  // 2024, 2022, 2021 and 2019
}

}  // namespace

}  // namespace importer
