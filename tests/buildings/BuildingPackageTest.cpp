// County packages on disk: the scan of the real four-sheet package (extents grown to data past their tiles), the
// side index and its rebuilding, sheets without a top-level envelope, damaged and oversized entries.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ZipWriter.h"
#include "buildings/BuildingPackage.h"
#include "buildings/CityGmlSheet.h"
#include "buildings/SheetIndex.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

namespace {

constexpr const char* kPackage = "citygml/lod1_nrw_package.zip";

// The extents an independent reader (independent/count_citygml.py) gives: three of the four sheets hold buildings
// up to 6 m past their tile's north edge.
TEST(BuildingPackage, ScanWritesTheIndexAndTheIndexSparesTheNextScan) {
    GD_REQUIRE_REALDATA(kPackage);
    testsupport::TempDir temp;
    const auto zip = temp / "1465.zip";
    std::filesystem::copy_file(testsupport::realdata(kPackage), zip);
    auto& counts = buildings::packageInflations();
    const auto scans = counts.scans.load();

    std::string error;
    const auto sheets = buildings::loadOrBuildSheetIndex(zip, error);
    EXPECT_TRUE(error.empty());
    EXPECT_EQ(counts.scans - scans, 4);
    EXPECT_EQ(testsupport::readFile(buildings::sheetIndexPath(zip)),
              "B3DIDX1 extent=data\n"
              "LoD1_472_5757_1_NW.gml\t472000.000\t5757000.000\t473000.000\t5758005.966\n"
              "LoD1_474_5751_1_NW.gml\t474000.000\t5751000.000\t475000.000\t5752003.821\n"
              "LoD1_474_5752_1_NW.gml\t474000.000\t5752000.000\t475000.000\t5753003.089\n"
              "LoD1_475_5752_1_NW.gml\t475000.000\t5752000.000\t476000.000\t5753000.000\n");
    EXPECT_EQ(buildings::loadOrBuildSheetIndex(zip, error), sheets);
    EXPECT_EQ(counts.scans - scans, 4);

    // A frame just north of the tile edge reads the sheet whose building crosses it.
    const auto chosen = buildings::sheetsTouching(sheets, {474500, 5752002, 474600, 5752003});
    ASSERT_EQ(chosen.size(), 2u);
    std::string text;
    ASSERT_EQ(buildings::readSheet(zip, chosen[0].entry, text), buildings::SheetRead::Read);
    buildings::SheetFindings found;
    buildings::parseLod1Sheet(text, {474500, 5752002, 474700, 5752003}, &found);
    EXPECT_EQ(found.buildings, 1);
    EXPECT_EQ(buildings::readSheet(zip, "missing.gml", text), buildings::SheetRead::Missing);
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

TEST(BuildingPackage, IndexesOfOtherFormatsOrOlderPackagesAreRebuiltAndDamagedPackagesFail) {
    GD_REQUIRE_REALDATA(kPackage);
    testsupport::TempDir temp;
    const auto zip = temp / "p.zip";
    std::filesystem::copy_file(testsupport::realdata(kPackage), zip);
    std::string error;
    // Another tag, and an index of first envelopes only (the bare tag line): both rebuilt.
    for (const char* old : {"B3DIDX0\nx.gml\t0\t0\t1\t1\n", "B3DIDX1\nx.gml\t0\t0\t1\t1\n"}) {
        testsupport::writeFile(buildings::sheetIndexPath(zip), old);
        EXPECT_EQ(buildings::loadOrBuildSheetIndex(zip, error).size(), 4u) << old;
    }
    // An index left from an earlier download of the package is not trusted.
    testsupport::writeFile(buildings::sheetIndexPath(zip), "B3DIDX1 extent=data\nx.gml\t0\t0\t1\t1\n");
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

std::string num(double v) { return platform::cformat("%.3f", v); }

std::string building(double x, double y) {
    const std::string box = num(x) + " " + num(y) + " 0 " + num(x + 13) + " " + num(y) + " 0 " + num(x + 13) + " " +
                            num(y + 10) + " 0 " + num(x) + " " + num(y) + " 6";
    return "<bldg:Building><gml:boundedBy><gml:Envelope><gml:lowerCorner>" + num(x) + " " + num(y) +
           " 0</gml:lowerCorner><gml:upperCorner>" + num(x + 13) + " " + num(y + 10) +
           " 6</gml:upperCorner></gml:Envelope></gml:boundedBy><bldg:lod2MultiSurface>"
           "<gml:LinearRing><gml:posList>" +
           box + "</gml:posList></gml:LinearRing></bldg:lod2MultiSurface></bldg:Building>";
}

// 16 buildings of 13 m in a sheet whose only envelopes are the buildings' own: the frame on the last building
// finds its sheet; a sheet whose declared envelope is smaller than its data is found past that envelope.
TEST(BuildingPackage, ExtentsComeFromTheWholeSheet) {
    testsupport::TempDir temp;
    std::string sixteen = "<CityModel xmlns:bldg='b' xmlns:gml='g'>";
    for (int k = 0; k < 16; ++k) sixteen += building(1000 + (k % 4) * 100, 2000 + (k / 4) * 100);
    sixteen += "</CityModel>";
    const std::string smaller =
        "<CityModel xmlns:bldg='b' xmlns:gml='g'><gml:boundedBy><gml:Envelope><gml:lowerCorner>5000 5000 0"
        "</gml:lowerCorner><gml:upperCorner>6000 6000 0</gml:upperCorner></gml:Envelope></gml:boundedBy>" +
        building(5995, 5500) + "</CityModel>";
    sim::ZipWriter zip;
    zip.add("arkusze/", "");
    zip.add("arkusze/bez_obwiedni.gml", sixteen);
    zip.add("arkusze/za_krawedzia.gml", "<!--" + std::string(9000, ' ') + "-->" + smaller);
    zip.add("czytaj.txt", "no sheet here");
    testsupport::writeFile(temp / "p.zip", zip.finish());
    auto& counts = buildings::packageInflations();
    const auto scans = counts.scans.load();
    std::string error;
    const auto sheets = buildings::scanPackage(temp / "p.zip", error);
    ASSERT_EQ(sheets.size(), 2u) << error;
    EXPECT_EQ(counts.scans - scans, 3);
    EXPECT_EQ(sheets[0], (buildings::PackageSheet{"arkusze/bez_obwiedni.gml", {1000, 2000, 1313, 2310}}));
    EXPECT_EQ(sheets[1], (buildings::PackageSheet{"arkusze/za_krawedzia.gml", {5000, 5000, 6008, 6000}}));
    for (const geodesy::Bbox& frame : {geodesy::Bbox{1300, 2300, 1310, 2310}, {6001, 5500, 6002, 5501}}) {
        const auto chosen = buildings::sheetsTouching(sheets, frame);
        ASSERT_EQ(chosen.size(), 1u);
        std::string text;
        ASSERT_EQ(buildings::readSheet(temp / "p.zip", chosen[0].entry, text), buildings::SheetRead::Read);
        EXPECT_EQ(buildings::parseLod2Sheet(text, frame).size(), 1u);
    }

    sim::ZipWriter none;
    none.add("czytaj.txt", "no sheet here");
    testsupport::writeFile(temp / "none.zip", none.finish());
    EXPECT_TRUE(buildings::loadOrBuildSheetIndex(temp / "none.zip", error).empty());
    EXPECT_EQ(error, "Paczka modeli 3D nie zawiera czytelnych arkuszy.");
    EXPECT_FALSE(std::filesystem::exists(buildings::sheetIndexPath(temp / "none.zip")));
}

// An entry whose data fail their checksum is damaged for the scan and for reading; one that inflates past the
// bound is refused after the bound, not held whole.
TEST(BuildingPackage, DamagedAndOversizedEntries) {
    testsupport::TempDir temp;
    sim::ZipWriter zip;
    const std::string sheet = "<CityModel xmlns:bldg='b' xmlns:gml='g'>" + building(10, 10) + "</CityModel>";
    zip.add("a.gml", sheet);
    std::string bytes = zip.finish();
    // The stored checksum of the one entry, in its local header and in the central directory.
    bytes[14] = static_cast<char>(bytes[14] ^ 0x5a);
    bytes[bytes.find("PK\x01\x02") + 16] = static_cast<char>(bytes[bytes.find("PK\x01\x02") + 16] ^ 0x5a);
    testsupport::writeFile(temp / "damaged.zip", bytes);
    std::string error, text;
    EXPECT_TRUE(buildings::scanPackage(temp / "damaged.zip", error).empty());
    EXPECT_EQ(error, "Paczka modeli 3D jest uszkodzona (arkusz a.gml nie daje sie rozpakowac).");
    EXPECT_EQ(buildings::readSheet(temp / "damaged.zip", "a.gml", text), buildings::SheetRead::Damaged);
    EXPECT_TRUE(text.empty());

    // With a bound of 1 MB (the package's own is kMaxSheetBytes), an entry of 1 MB and one byte.
    constexpr std::size_t kBound = 1 << 20;
    sim::ZipWriter large;
    large.add("large.gml", sheet + std::string(kBound + 1 - sheet.size(), ' '));
    testsupport::writeFile(temp / "large.zip", large.finish());
    error.clear();
    const auto sheets = buildings::scanPackage(temp / "large.zip", error, kBound);
    ASSERT_EQ(sheets.size(), 1u) << error;
    EXPECT_EQ(buildings::readSheet(temp / "large.zip", "large.gml", text, kBound), buildings::SheetRead::TooLarge);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(buildings::readSheet(temp / "large.zip", "large.gml", text, kBound + 1), buildings::SheetRead::Read);
}

}  // namespace
