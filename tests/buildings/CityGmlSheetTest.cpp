// CityGML sheets: every real sheet against the counts of an independent reader (Python's ElementTree,
// independent/count_citygml.py) over the whole sheet and over frames on each of its quarters, and the edge cases
// of footprints, heights, parts, levels of detail, holes, damaged coordinates, nesting and extents.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include <nlohmann/json.hpp>

#include "buildings/CityGmlSheet.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

namespace {

const geodesy::Bbox kEverywhere{-1e9, -1e9, 1e9, 1e9};

double area(const std::vector<geodesy::PlanarPoint>& r) {
    double s = 0.0;
    for (std::size_t i = 0; i < r.size(); ++i) s += r[i].x * r[(i + 1) % r.size()].y - r[(i + 1) % r.size()].x * r[i].y;
    return std::abs(s) / 2.0;
}

// Heights, footprint areas and holes of LOD1 blocks, added up.
struct BlockSums {
    double height = 0, area = 0;
    std::size_t holes = 0;
};
BlockSums sums(const std::vector<buildings::Building3D>& blocks) {
    BlockSums s;
    for (const auto& b : blocks) {
        s.height += b.height;
        s.area += area(b.footprint);
        s.holes += b.holes.size();
    }
    return s;
}

const char* const kRealSheets[] = {
    "citygml/sheets/berlin_3890_5819.gml",
    "citygml/sheets/berlin_DEB_LOD2_UUID_cda3726a-7346-4ba8-a393-90964d0c8697.gml",
    "citygml/sheets/nrw_LoD2_32_326_5723_1_NW.gml",
    "citygml/sheets/plateau_sapporo_64413325_bldg_6697_op.gml",
    "citygml/sheets/plateau_yokosuka_52397519_bldg_6697_op.gml",
    "citygml/sheets/vienna_Fichtegasse_city.gml",
    "citygml/lod1_nrw/LoD1_472_5757_1_NW.gml",
    "citygml/lod1_nrw/LoD1_474_5751_1_NW.gml",
    "citygml/lod1_nrw/LoD1_474_5752_1_NW.gml",
    "citygml/lod1_nrw/LoD1_475_5752_1_NW.gml",
    "citygml/lod2/berlin_open_data_sample_data.citygml",
    "citygml/lod2/kit_fzk_LOD2_Buildings_v200.gml",
};

geodesy::Bbox box(const nlohmann::json& v) { return {v[0], v[1], v[2], v[3]}; }

// The sheets are in UTM, Gauss-Krueger and degrees, read in their own coordinates as the package's are: frames are
// quarters of each sheet's own extent.
TEST(CityGmlSheet, RealSheetsGiveWhatAnIndependentReaderCounts) {
    GD_REQUIRE_REALDATA("citygml/sheets");
    testsupport::TempDir temp;
    std::string command =
        "python3 '" + (testsupport::sourceDir() / "tests/buildings/independent/count_citygml.py").string() + "'";
    for (const char* file : kRealSheets) command += " '" + testsupport::realdata(file).string() + "'";
    command += " >'" + (temp / "counts.json").string() + "' 2>'" + (temp / "err").string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << testsupport::readFile(temp / "err");
    const auto counts = nlohmann::json::parse(testsupport::readFile(temp / "counts.json"));

    for (const char* file : kRealSheets) {
        SCOPED_TRACE(file);
        const std::string text = testsupport::readFile(testsupport::realdata(file));
        const nlohmann::json& want = counts.at(testsupport::realdata(file).string());

        buildings::SheetFindings found1, found2;
        const auto lod1 = buildings::parseLod1Sheet(text, kEverywhere, &found1);
        const BlockSums blocks = sums(lod1);
        EXPECT_EQ(found1.buildings, want["lod1"]["buildings"]);
        EXPECT_EQ(lod1.size(), want["lod1"]["blocks"]);
        EXPECT_NEAR(blocks.height, want["lod1"]["heights"], 1e-6);
        EXPECT_NEAR(blocks.area, want["lod1"]["area"], 1e-6 * blocks.area + 1e-12);
        EXPECT_EQ(blocks.holes, want["lod1"]["holes"]);

        const auto lod2 = buildings::parseLod2Sheet(text, kEverywhere, &found2);
        std::size_t surfaces = 0, surfaceHoles = 0;
        long long roofs = 0;
        for (const auto& b : lod2) {
            surfaces += b.surfaces.size();
            roofs += b.roofType;
            for (const auto& s : b.surfaces) surfaceHoles += s.holes.size();
        }
        EXPECT_EQ(lod2.size(), want["lod2"]["buildings"]);
        EXPECT_EQ(surfaces, want["lod2"]["surfaces"]);
        EXPECT_EQ(surfaceHoles, want["lod2"]["holes"]);
        EXPECT_EQ(roofs, want["lod2"]["roofTypes"]);
        EXPECT_EQ(found1.damaged, want["damaged"]);
        EXPECT_EQ(found2.damaged, want["damaged"]);

        geodesy::Bbox extent;
        ASSERT_TRUE(buildings::sheetExtent(text, extent));
        EXPECT_EQ(extent, box(want["extent"]));
        std::string line;
        for (std::size_t q = 0; q < 4; ++q) {
            buildings::SheetFindings in1, in2;
            buildings::parseLod1Sheet(text, box(want["quarters"][q]), &in1);
            buildings::parseLod2Sheet(text, box(want["quarters"][q]), &in2);
            EXPECT_EQ(in1.buildings, want["found"][q][0]) << "quarter " << q;
            EXPECT_EQ(in2.buildings, want["found"][q][1]) << "quarter " << q;
            line += " " + std::to_string(in1.buildings) + "/" + std::to_string(in2.buildings);
        }
        std::printf("%s: LOD1 %d buildings (%zu blocks), LOD2 %zu; quarters SW SE NW NE (LOD1/LOD2):%s\n", file,
                    found1.buildings, lod1.size(), lod2.size(), line.c_str());
    }
}

std::string num(double v) { return platform::cformat("%.3f", v); }

std::string ring(const std::string& posList, const char* role = "exterior") {
    return std::string("<gml:") + role + "><gml:LinearRing><gml:posList>" + posList +
           "</gml:posList></gml:LinearRing></gml:" + role + ">";
}
std::string polygon(const std::string& rings) { return "<gml:Polygon>" + rings + "</gml:Polygon>"; }
std::string lod(const char* property, const std::string& polygons) {
    return std::string("<bldg:") + property + "><gml:MultiSurface><gml:surfaceMember>" + polygons +
           "</gml:surfaceMember></gml:MultiSurface></bldg:" + property + ">";
}
std::string part(const std::string& body) {
    return "<bldg:consistsOfBuildingPart><bldg:BuildingPart>" + body +
           "</bldg:BuildingPart></bldg:consistsOfBuildingPart>";
}
std::string sheet(const std::string& buildings) {
    return "<core:CityModel xmlns:core='c' xmlns:bldg='b' xmlns:gml='g'><gml:boundedBy><gml:Envelope>"
           "<gml:lowerCorner>0 0 0</gml:lowerCorner><gml:upperCorner>100 100 50</gml:upperCorner></gml:Envelope>"
           "</gml:boundedBy>" +
           buildings + "</core:CityModel>";
}
// A block of w x 10 m at x0 from z0 to z1: its ground and its roof.
std::string block(double x0, double w, double z0, double z1) {
    auto square = [&](double z) {
        std::string s;
        for (const auto& [x, y] : {std::pair{x0, 0.0}, {x0 + w, 0.0}, {x0 + w, 10.0}, {x0, 10.0}, {x0, 0.0}})
            s += num(x) + " " + num(y) + " " + num(z) + " ";
        return s;
    };
    return polygon(ring(square(z0))) + polygon(ring(square(z1)));
}

TEST(CityGmlSheet, Lod1BlocksFromPartsLevelsAndTheirOwnGeometry) {
    const std::string yard = ring("2 2 10 4 2 10 4 4 10 2 4 10 2 2 10", "interior");
    struct Case {
        const char* what;
        std::string building;
        std::size_t blocks;
        double height, area;
        std::size_t holes;
        int damaged;
    } cases[] = {
        {"the solid's span wins over the measured height",
         "<bldg:measuredHeight>7.5</bldg:measuredHeight>" + lod("lod1Solid", block(0, 20, 10, 16)), 1, 6, 200, 0, 0},
        {"a flat outline takes the measured height",
         "<bldg:measuredHeight>7.5</bldg:measuredHeight>" +
             lod("lod0FootPrint", polygon(ring("0 0 10 20 0 10 20 10 10 0 0 10"))),
         1, 7.5, 100, 0, 0},
        {"flat building without height dropped", lod("lod1Solid", polygon(ring("0 0 10 20 0 10 20 10 10 0 0 10"))), 0,
         0, 0, 0, 0},
        {"courtyard ring at ground level loses to the larger ring",
         lod("lod1Solid", polygon(ring("5 5 10 8 5 10 8 8 10 5 5 10")) + block(0, 20, 10, 16)), 1, 6, 200, 0, 0},
        {"an interior ring is the footprint's hole",
         lod("lod1Solid", polygon(ring("0 0 10 20 0 10 20 10 10 0 10 10 0 0 10") + yard) +
                              polygon(ring("0 0 16 20 0 16 20 10 16 0 10 16"))),
         1, 6, 200, 1, 0},
        {"four parts give four blocks of their own heights",
         part(lod("lod1Solid", block(0, 10, 10, 13))) + part(lod("lod1Solid", block(10, 5, 10, 14))) +
             part(lod("lod1Solid", block(15, 5, 11, 16))) + part(lod("lod1Solid", block(20, 2, 10, 11))),
         4, 3 + 4 + 5 + 1, 220, 0, 0},
        {"the LOD1 solid, not the LOD2 surfaces beside it",
         lod("lod1Solid", block(0, 10, 10, 16)) + lod("lod2MultiSurface", block(0, 30, 9, 20)), 1, 6, 100, 0, 0},
        {"a word that is no number damages the building",
         lod("lod1Solid", polygon(ring("0 0 10 20 0 10 nan 20 10 0 20 10")) + block(0, 20, 10, 16)), 0, 0, 0, 0, 1},
        {"a point off every grid damages the building",
         lod("lod1Solid", polygon(ring("0 0 10 1e300 0 10 20 20 10 0 20 10")) + block(0, 20, 10, 16)), 0, 0, 0, 0, 1},
        {"numbers left over damage the building",
         lod("lod1Solid", polygon(ring("0 0 10 20 0 10 20 20 10 0 20")) + block(0, 20, 10, 16)), 0, 0, 0, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        buildings::SheetFindings found;
        const auto b = buildings::parseLod1Sheet(sheet("<bldg:Building gml:id='B1'>" + c.building + "</bldg:Building>"),
                                                 kEverywhere, &found);
        ASSERT_EQ(b.size(), c.blocks);
        EXPECT_EQ(found.damaged, c.damaged);
        EXPECT_EQ(found.buildings, c.blocks > 0 ? 1 : 0);
        for (const auto& block : b) EXPECT_EQ(block.id, "B1");
        const BlockSums got = sums(b);
        EXPECT_NEAR(got.height, c.height, 1e-9);
        EXPECT_NEAR(got.area, c.area, 1e-9);
        EXPECT_EQ(got.holes, c.holes);
    }
    buildings::SheetFindings found;
    EXPECT_TRUE(buildings::parseLod1Sheet("<not xml", kEverywhere, &found).empty());
    EXPECT_FALSE(found.readable);
}

TEST(CityGmlSheet, Lod2PartsTogetherOneLevelAndHoles) {
    const std::string roof =
        polygon(ring("0 0 5 9 0 5 9 9 5 0 9 5 0 0 5") + ring("1 1 5 1 2 5 2 2 5 2 1 5 1 1 5", "interior") +
                ring("6 1 5 6 2 5 7 2 5 7 1 5 6 1 5", "interior"));
    struct Case {
        const char* what;
        std::string building;
        std::size_t surfaces, holes;
        int roofType;
    } cases[] = {
        {"parts together as their building",
         part(lod("lod2MultiSurface", block(0, 10, 0, 6))) + part(lod("lod2MultiSurface", block(10, 5, 0, 9))), 4, 0,
         0},
        {"one level of detail: LOD2 over LOD1 and LOD0",
         lod("lod0FootPrint", polygon(ring("0 0 0 9 0 0 9 9 0"))) + lod("lod1Solid", block(0, 10, 0, 6)) +
             "<bldg:boundedBy><bldg:RoofSurface>" + lod("lod2MultiSurface", roof) +
             "</bldg:RoofSurface></bldg:boundedBy>",
         1, 2, 0},
        {"roof type and pos elements",
         "<bldg:roofType>3100</bldg:roofType><bldg:lod2MultiSurface><gml:LinearRing><gml:pos>0 0 1</gml:pos>"
         "<gml:pos>1 0 1</gml:pos><gml:pos>1 1 2</gml:pos></gml:LinearRing></bldg:lod2MultiSurface>",
         1, 0, 3100},
        {"a hole whose polygon lost its exterior goes with it",
         lod("lod2MultiSurface", polygon(ring("0 0 1 1 1 1") + ring("0 0 1 1 0 1 1 1 1", "interior"))), 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto b =
            buildings::parseLod2Sheet(sheet("<bldg:Building>" + c.building + "</bldg:Building>"), kEverywhere);
        ASSERT_EQ(b.size(), c.surfaces > 0 ? 1u : 0u);
        if (b.empty()) continue;
        std::size_t holes = 0;
        for (const auto& s : b[0].surfaces) holes += s.holes.size();
        EXPECT_EQ(b[0].surfaces.size(), c.surfaces);
        EXPECT_EQ(holes, c.holes);
        EXPECT_EQ(b[0].roofType, c.roofType);
    }
    EXPECT_TRUE(
        buildings::parseLod2Sheet(
            sheet("<bldg:Building>" + lod("lod2MultiSurface", block(0, 1, 0, 1)) + "</bldg:Building>"), {2, 20, 3, 30})
            .empty());
}

// Nesting that a sheet decides (tens of thousands of levels in a few hundred bytes of zip) is walked, not recursed.
TEST(CityGmlSheet, DeepNestingIsReadWithoutRecursion) {
    constexpr int kDepth = 50000;
    std::string deep = "<bldg:Building gml:id='D'>";
    for (int k = 0; k < kDepth; ++k) deep += "<bldg:BuildingPart><a>";
    deep += lod("lod2MultiSurface", block(0, 10, 0, 6));
    for (int k = 0; k < kDepth; ++k) deep += "</a></bldg:BuildingPart>";
    deep += "</bldg:Building>";
    const auto b = buildings::parseLod2Sheet(sheet(deep), kEverywhere);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].surfaces.size(), 2u);
    EXPECT_EQ(buildings::parseLod1Sheet(sheet(deep), kEverywhere).size(), 1u);
    geodesy::Bbox extent;
    EXPECT_TRUE(buildings::sheetExtent(sheet(deep), extent));
}

TEST(CityGmlSheet, ExtentIsTheSheetsOwnGrownToItsData) {
    const std::string buildingEnvelope =
        "<bldg:Building><gml:boundedBy><gml:Envelope><gml:lowerCorner>0 0 0</gml:lowerCorner><gml:upperCorner>13 10 6"
        "</gml:upperCorner></gml:Envelope></gml:boundedBy>" +
        lod("lod2MultiSurface", block(0, 13, 0, 6)) + "</bldg:Building>";
    const std::string far = "<bldg:Building>" + lod("lod2MultiSurface", block(300, 13, 0, 6)) + "</bldg:Building>";
    struct Case {
        const char* what;
        std::string text;
        bool found;
        geodesy::Bbox extent;
    } cases[] = {
        {"declared envelope larger than the data", sheet(""), true, {0, 0, 100, 100}},
        {"data past the declared envelope", sheet(far), true, {0, 0, 313, 100}},
        {"no top-level envelope: not the first building's but the data's",
         "<CityModel>" + buildingEnvelope + far + "</CityModel>",
         true,
         {0, 0, 313, 10}},
        {"envelope of two pos elements",
         "<CityModel><boundedBy><Envelope><pos>1 2 3</pos><pos>4 5 6</pos></Envelope></boundedBy></CityModel>",
         true,
         {1, 2, 4, 5}},
        {"coordinates in comments and CDATA are none",
         "<CityModel><!-- <pos>1 2 3</pos> --><![CDATA[<pos>1 2 3</pos>]]></CityModel>",
         false,
         {}},
        {"cut inside the upper corner: no half-read corner", sheet("").substr(0, sheet("").find("100 50")), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        geodesy::Bbox extent;
        ASSERT_EQ(buildings::sheetExtent(c.text, extent), c.found);
        if (c.found) {
            EXPECT_EQ(extent, c.extent);
        }
    }
}

}  // namespace
