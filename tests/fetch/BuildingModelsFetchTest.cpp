// LOD1 and LOD2 county packages against the simulator: addresses and years, sheets read only where they touch
// the frame, the side index sparing the second fetch any scan, damaged packages and sheets named and removed with
// their index, a reading that never ended, sheets nested deep and buildings with damaged coordinates.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "BuildingPackages.h"
#include "FetchFixture.h"
#include "Town.h"
#include "ZipWriter.h"
#include "buildings/BuildingPackage.h"
#include "buildings/SheetIndex.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

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
    const auto scans = inflations.scans.load(), reads = inflations.sheetReads.load();
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
    const auto scanned = inflations.scans - scans, read = inflations.sheetReads - reads;
    EXPECT_GT(scanned, 2);
    EXPECT_EQ(read, scanned - 2);
    ASSERT_FALSE(downloads.empty());
    EXPECT_EQ(downloads.front().rfind("Modele 3D: pobieranie ", 0), 0u);

    // Again from the cache: only the missing year asked again, no scan, the same sheets read.
    sim.log().clear();
    const auto scans2 = inflations.scans.load(), reads2 = inflations.sheetReads.load();
    data = fetchModels({"budynki3d", "budynkilod2"});
    EXPECT_EQ(data.buildings3d.size(), lod1);
    EXPECT_EQ(paths(portal), std::vector<std::string>{lod1In2024});
    EXPECT_EQ(inflations.scans - scans2, 0);
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
    // A failure is no statement about coverage.
    EXPECT_TRUE(data.warning.ends_with(" Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie."))
        << data.warning;
    for (const auto& entry : std::filesystem::directory_iterator(client.cacheFolder()))
        EXPECT_EQ(entry.path().string().find(".zip"), std::string::npos) << entry.path();

    *damaged = false;
    data = fetchModels({"budynkilod2"});
    EXPECT_EQ(data.buildingsLod2.size(), lod2);
}

std::string num(double v) { return platform::cformat("%.3f", v); }

// The checksum of every entry of a zip changed, in the local headers and in the central directory alike.
std::string withBadChecksums(std::string zip) {
    auto number = [&zip](std::size_t at, int bytes) {
        std::size_t v = 0;
        for (int k = bytes - 1; k >= 0; --k)
            v = v << 8 | static_cast<unsigned char>(zip[at + static_cast<std::size_t>(k)]);
        return v;
    };
    const std::size_t end = zip.rfind(std::string("PK\x05\x06", 4));
    std::size_t entry = number(end + 16, 4);
    for (std::size_t k = 0, n = number(end + 10, 2); k < n; ++k) {
        const std::size_t local = number(entry + 42, 4);
        zip[entry + 16] = static_cast<char>(zip[entry + 16] ^ 0x5a);
        zip[local + 14] = static_cast<char>(zip[local + 14] ^ 0x5a);
        entry += 46 + number(entry + 28, 2) + number(entry + 30, 2) + number(entry + 32, 2);
    }
    return zip;
}

std::filesystem::path cachedPackage(const std::filesystem::path& folder) {
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".zip") return entry.path();
    return {};
}

TEST_F(BuildingModels, DamagedSheetsAndUnfinishedReadingsAreNamedAndDownloadedAgain) {
    ASSERT_EQ(fetchModels({"budynkilod2"}).buildingsLod2.size(), lod2);
    const std::filesystem::path zip = cachedPackage(client.cacheFolder());
    ASSERT_FALSE(zip.empty());
    // Sheets damaged on disk after the index was written: each named, the package removed, the next fetch whole.
    testsupport::writeFile(zip, withBadChecksums(testsupport::readFile(zip)));
    std::filesystem::last_write_time(buildings::sheetIndexPath(zip),
                                     std::filesystem::last_write_time(zip) + std::chrono::seconds(5));
    FetchedData data = fetchModels({"budynkilod2"});
    EXPECT_TRUE(data.buildingsLod2.empty());
    EXPECT_EQ(data.warning.rfind("Budynki LOD2: uszkodzone arkusze w paczce: ", 0), 0u) << data.warning;
    EXPECT_NE(data.warning.find(". Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie."), std::string::npos);
    EXPECT_EQ(data.warning.find("Brak budynkow LOD2"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(zip));
    EXPECT_EQ(fetchModels({"budynkilod2"}).buildingsLod2.size(), lod2);

    // A reading that never ended (the program stopped inside it): the package is downloaded again, not read.
    testsupport::writeFile(zip.string() + ".reading", "1");
    sim.log().clear();
    data = fetchModels({"budynkilod2"});
    EXPECT_EQ(data.buildingsLod2.size(), lod2);
    EXPECT_EQ(paths(portal), std::vector<std::string>{pathOf(net::serviceEndpoints().buildings3dLod2(kDemoCounty))});
    EXPECT_EQ(
        data.warning.rfind("Budynki LOD2: poprzedni odczyt paczki nie zakonczyl sie - paczka pobrana ponownie. ", 0),
        0u)
        << data.warning;
    EXPECT_FALSE(std::filesystem::exists(zip.string() + ".reading"));
}

// A sheet nested 50,000 levels deep (a few kilobytes of zip) is read like any other; a building with "nan" in a
// ring is left out and counted.
TEST_F(BuildingModels, DeepSheetsAndDamagedCoordinates) {
    auto surface = [](double e, double n, const std::string& z) {
        return "<bldg:lod2MultiSurface><gml:LinearRing><gml:posList>" + num(e) + " " + num(n) + " 100 " + num(e + 10) +
               " " + num(n) + " 100 " + num(e) + " " + num(n + 10) + " " + z +
               "</gml:posList></gml:LinearRing></bldg:lod2MultiSurface>";
    };
    auto house = [&](double e, double n, const std::string& z) {
        return "<bldg:Building>" + surface(e, n, z) + "</bldg:Building>";
    };
    const double e = town.minE + 100, n = town.minN + 100;
    std::string deep = "<CityModel xmlns:bldg='b' xmlns:gml='g'><bldg:Building>";
    for (int k = 0; k < 50000; ++k) deep += "<bldg:BuildingPart><x>";
    deep += surface(e, n, "106");
    for (int k = 0; k < 50000; ++k) deep += "</x></bldg:BuildingPart>";
    deep += "</bldg:Building></CityModel>";
    sim::ZipWriter zip;
    zip.add("gleboki.gml", deep);
    zip.add("nan.gml", "<CityModel xmlns:bldg='b' xmlns:gml='g'>" + house(e + 50, n, "nan") + house(e + 80, n, "106") +
                           "</CityModel>");
    const std::string bytes = zip.finish();
    sim.scenario().addHandler(portal, sim::poland::pathOf(net::serviceEndpoints().buildings3dLod2(kDemoCounty)),
                              [bytes](const auto&, auto& response) {
                                  response.body = bytes;
                                  return true;
                              });
    const FetchedData data = fetchModels({"budynkilod2"});
    EXPECT_EQ(data.buildingsLod2.size(), 2u);
    EXPECT_EQ(data.warning,
              "Budynki LOD2: pominieto 1 budynkow z uszkodzonymi wspolrzednymi. Budynki LOD2: powiat 0614, "
              "budynkow w kadrze: 2");
}

TEST_F(BuildingModels, CountyWithoutPackages) {
    const FetchedData data = fetchModels({"budynki3d"}, frameAt(sim::poland::kZamosc));
    EXPECT_TRUE(data.buildings3d.empty());
    EXPECT_EQ(data.warning.rfind("Modele 3D: ", 0), 0u);
    EXPECT_EQ(paths(portal).size(), 4u);  // 2024, 2022, 2021 and 2019
}

}  // namespace

}  // namespace importer
