// LOD1 and LOD2 county packages against the simulator: addresses and years, sheets read only where they touch
// the frame, the side index sparing the second fetch any scan, and a damaged package removed with its index.
#include <gtest/gtest.h>

#include <filesystem>

#include "BuildingPackages.h"
#include "FetchFixture.h"
#include "Town.h"
#include "buildings/BuildingPackage.h"
#include "net/ServiceEndpoints.h"

namespace importer {

namespace {

using namespace sim::packages;

class BuildingModels : public FetchSim {
protected:
    // The whole demo town (PL-1992).
    const geodesy::Bbox town = sim::town::demoTown().extent;
    // Buildings of the town in each package (the far one lies outside it).
    const std::size_t lod1 = demoBuildings(false).size() - 1, lod2 = demoBuildings(true).size() - 1;

    FetchedData fetchModels(const std::vector<std::string>& keys) { return fetchModels(keys, town); }
    FetchedData fetchModels(const std::vector<std::string>& keys, const geodesy::Bbox& frame) {
        return fetch(keys, frame, geodesy::kEpsgPl1992);
    }
    static std::string pathOf(const std::string& url) { return sim::poland::pathOf(url); }
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
    EXPECT_EQ(data.buildings3d.size(), lod1);
    EXPECT_EQ(data.buildingsLod2.size(), lod2);
    EXPECT_EQ(data.buildings3dNote, "Modele 3D: LOD1 2022, powiat 0614, budynkow w kadrze: " + std::to_string(lod1));
    EXPECT_EQ(data.buildingsLod2Note, "Budynki LOD2: powiat 0614, budynkow w kadrze: " + std::to_string(lod2));
    EXPECT_EQ(data.warning, data.buildings3dNote + " " + data.buildingsLod2Note);
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    const std::string lod1In2024 = pathOf(ep.buildings3dLod1(2024, kDemoCounty));
    EXPECT_EQ(paths(portal),
              (std::vector<std::string>{lod1In2024, pathOf(ep.buildings3dLod1(kDemoLod1Year, kDemoCounty)),
                                        pathOf(ep.buildings3dLod2(kDemoCounty))}));
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
    EXPECT_EQ(data.buildings3d.size(), lod1);
    EXPECT_EQ(paths(portal), std::vector<std::string>{lod1In2024});
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
    EXPECT_EQ(data.buildingsLod2.size(), lod2);
}

TEST_F(BuildingModels, CountyWithoutPackages) {
    const FetchedData data = fetchModels({"budynki3d"}, frameAt(sim::poland::kZamosc));
    EXPECT_TRUE(data.buildings3d.empty());
    EXPECT_EQ(data.warning.rfind("Modele 3D: ", 0), 0u);
    EXPECT_EQ(paths(portal).size(), 4u);  // 2024, 2022, 2021 and 2019
}

}  // namespace

}  // namespace importer
