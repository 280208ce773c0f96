// County packages on disk: the scan of the real four-sheet package, the side index and its rebuilding.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ZipWriter.h"
#include "buildings/BuildingPackage.h"
#include "buildings/CityGmlSheet.h"
#include "buildings/SheetIndex.h"
#include "support/TestSupport.h"

namespace {

constexpr const char* kPackage = "citygml/lod1_nrw_package.zip";

TEST(BuildingPackage, ScanWritesTheIndexAndTheIndexSparesTheNextScan) {
    GD_REQUIRE_REALDATA(kPackage);
    testsupport::TempDir temp;
    const auto zip = temp / "1465.zip";
    std::filesystem::copy_file(testsupport::realdata(kPackage), zip);
    auto& counts = buildings::packageInflations();
    const auto prefixes = counts.prefixes.load(), whole = counts.wholeScans.load();

    std::string error;
    const auto sheets = buildings::loadOrBuildSheetIndex(zip, error);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(counts.prefixes - prefixes, 4);  // every envelope lies in the first 8192 bytes
    EXPECT_EQ(counts.wholeScans - whole, 0);
    EXPECT_EQ(testsupport::readFile(buildings::sheetIndexPath(zip)),
              "B3DIDX1\n"
              "LoD1_472_5757_1_NW.gml\t472000.000\t5757000.000\t473000.000\t5758000.000\n"
              "LoD1_474_5751_1_NW.gml\t474000.000\t5751000.000\t475000.000\t5752000.000\n"
              "LoD1_474_5752_1_NW.gml\t474000.000\t5752000.000\t475000.000\t5753000.000\n"
              "LoD1_475_5752_1_NW.gml\t475000.000\t5752000.000\t476000.000\t5753000.000\n");

    EXPECT_EQ(buildings::loadOrBuildSheetIndex(zip, error), sheets);
    EXPECT_EQ(counts.prefixes - prefixes, 4);

    // A frame on the shared edge of two sheets reads both; their buildings come whole from the zip.
    const auto chosen = buildings::sheetsTouching(sheets, {474500, 5752000, 474600, 5752000});
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(buildings::parseLod1Sheet(buildings::readSheet(zip, chosen[1].entry), {-1e9, -1e9, 1e9, 1e9}).size(),
              29u);
    EXPECT_TRUE(buildings::readSheet(zip, "missing.gml").empty());
}

TEST(BuildingPackage, IndexLinesAndTags) {
    struct Case {
        const char* what;
        std::string text;
        std::size_t sheets;
    } cases[] = {
        {"short first line", "B3DID\n", 0},
        {"line with three numbers skipped", "B3DIDX1\na.gml\t1\t2\t3\nb.gml\t1\t2\t3\t4\n\nc.gml 1 2 3 4\n", 1},
        {"tag followed by more text", "B3DIDX1 v\na.gml\t1.5\t2\t3\t4", 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(buildings::parseSheetIndex(c.text).size(), c.sheets);
    }
    EXPECT_EQ(buildings::parseSheetIndex("B3DIDX1\nb.gml\t1\t2\t3\t4\n")[0],
              (buildings::PackageSheet{"b.gml", {1, 2, 3, 4}}));
}

TEST(BuildingPackage, IndexOfAnotherFormatIsRebuiltAndDamagedPackagesFail) {
    GD_REQUIRE_REALDATA(kPackage);
    testsupport::TempDir temp;
    const auto zip = temp / "p.zip";
    std::filesystem::copy_file(testsupport::realdata(kPackage), zip);
    testsupport::writeFile(buildings::sheetIndexPath(zip), "B3DIDX0\nx.gml\t0\t0\t1\t1\n");
    std::string error;
    EXPECT_EQ(buildings::loadOrBuildSheetIndex(zip, error).size(), 4u);
    // An index left from an earlier download of the package is not trusted.
    testsupport::writeFile(buildings::sheetIndexPath(zip), "B3DIDX1\nx.gml\t0\t0\t1\t1\n");
    std::filesystem::last_write_time(
        zip, std::filesystem::last_write_time(buildings::sheetIndexPath(zip)) + std::chrono::seconds(5));
    EXPECT_EQ(buildings::loadOrBuildSheetIndex(zip, error).size(), 4u);

    const std::string bytes = testsupport::readFile(zip);
    testsupport::writeFile(zip, bytes.substr(0, bytes.size() / 2));
    EXPECT_FALSE(buildings::openPackage(zip, error));
    EXPECT_EQ(error, "Nie mozna otworzyc paczki modeli 3D: " + zip.string());
    error.clear();
    std::filesystem::remove(buildings::sheetIndexPath(zip));
    EXPECT_TRUE(buildings::loadOrBuildSheetIndex(zip, error).empty());
    EXPECT_FALSE(error.empty());
}

TEST(BuildingPackage, ScanSkipsFoldersAndOtherFilesAndLooksFurtherWhenTheEnvelopeIsLate) {
    testsupport::TempDir temp;
    const std::string envelope =
        "<gml:Envelope><gml:lowerCorner>1 2 3</gml:lowerCorner>"
        "<gml:upperCorner>4 5 6</gml:upperCorner></gml:Envelope>";
    sim::ZipWriter zip;
    zip.add("arkusze/", "");
    zip.add("arkusze/a.gml", "<CityModel>" + envelope + "</CityModel>");
    zip.add("arkusze/late.gml", "<CityModel><!--" + std::string(9000, ' ') + "-->" + envelope + "</CityModel>");
    zip.add("czytaj.txt", "no sheet here");
    testsupport::writeFile(temp / "p.zip", zip.finish());
    auto& counts = buildings::packageInflations();
    const auto prefixes = counts.prefixes.load(), whole = counts.wholeScans.load();
    std::string error;
    const auto sheets = buildings::scanPackage(temp / "p.zip", error);
    ASSERT_EQ(sheets.size(), 2u) << error;
    EXPECT_EQ(sheets[1], (buildings::PackageSheet{"arkusze/late.gml", {1, 2, 4, 5}}));
    EXPECT_EQ(counts.prefixes - prefixes, 3);
    EXPECT_EQ(counts.wholeScans - whole, 1);

    sim::ZipWriter none;
    none.add("czytaj.txt", "no sheet here");
    testsupport::writeFile(temp / "none.zip", none.finish());
    EXPECT_TRUE(buildings::loadOrBuildSheetIndex(temp / "none.zip", error).empty());
    EXPECT_EQ(error, "Paczka modeli 3D nie zawiera czytelnych arkuszy.");
    EXPECT_FALSE(std::filesystem::exists(buildings::sheetIndexPath(temp / "none.zip")));
}

}  // namespace
