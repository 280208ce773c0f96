// CityGML sheets: real LOD1 and LOD2 sheets against counts made independently (Python's ElementTree over the
// same files), and the edge cases of footprints, heights and extents.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "buildings/CityGmlSheet.h"
#include "support/TestSupport.h"

namespace {

const geodesy::Bbox kEverywhere{-1e9, -1e9, 1e9, 1e9};

double area(const std::vector<geodesy::PlanarPoint>& r) {
    double s = 0.0;
    for (std::size_t i = 0; i < r.size(); ++i) s += r[i].x * r[(i + 1) % r.size()].y - r[(i + 1) % r.size()].x * r[i].y;
    return std::abs(s) / 2.0;
}

// Expected values counted independently with Python (xml.etree) by the readers' rules: buildings, rings of at
// least three points, buildings kept, sum of heights, sum of footprint areas and points, sum of roof types.
struct RealSheet {
    const char* file;
    bool lod2;
    std::size_t buildings, rings;
    double heights, footArea;
    std::size_t footPoints;
    long long roofTypes;
};
const RealSheet kSheets[] = {
    {"citygml/lod1_nrw/LoD1_472_5757_1_NW.gml", false, 6, 53, 54.418, 390.99, 39, 0},
    {"citygml/lod1_nrw/LoD1_474_5751_1_NW.gml", false, 8, 100, 46.848, 817.77, 61, 0},
    {"citygml/lod1_nrw/LoD1_474_5752_1_NW.gml", false, 29, 249, 157.501, 3350.01, 158, 0},
    {"citygml/lod1_nrw/LoD1_475_5752_1_NW.gml", false, 3, 18, 17.196, 283.37, 15, 0},
    {"citygml/lod2/berlin_open_data_sample_data.citygml", true, 61, 1130, 0, 0, 0, 67840},
    {"citygml/lod2/kit_fzk_LOD2_Buildings_v200.gml", true, 100, 700, 0, 0, 0, 103000},
};

TEST(CityGmlSheet, RealSheetsGiveWhatTheirFilesHold) {
    for (const RealSheet& s : kSheets) {
        SCOPED_TRACE(s.file);
        GD_REQUIRE_REALDATA(s.file);
        const std::string text = testsupport::readFile(testsupport::realdata(s.file));
        if (s.lod2) {
            const auto buildings = buildings::parseLod2Sheet(text, kEverywhere);
            EXPECT_EQ(buildings.size(), s.buildings);
            std::size_t rings = 0;
            long long roofs = 0;
            for (const auto& b : buildings) {
                rings += b.surfaces.size();
                roofs += b.roofType;
                EXPECT_FALSE(b.id.empty());
                for (const auto& surface : b.surfaces) EXPECT_EQ(surface.ring.size(), surface.z.size());
            }
            EXPECT_EQ(rings, s.rings);
            EXPECT_EQ(roofs, s.roofTypes);
        } else {
            const auto buildings = buildings::parseLod1Sheet(text, kEverywhere);
            EXPECT_EQ(buildings.size(), s.buildings);
            double heights = 0, footArea = 0;
            std::size_t points = 0;
            for (const auto& b : buildings) {
                heights += b.height;
                footArea += area(b.footprint);
                points += b.footprint.size();
            }
            EXPECT_NEAR(heights, s.heights, 1e-3);
            EXPECT_NEAR(footArea, s.footArea, 0.01);
            EXPECT_EQ(points, s.footPoints);
        }
        geodesy::Bbox extent;
        // The KIT sheet gives its envelope as two pos elements: no extent for the package scan.
        EXPECT_EQ(buildings::sheetExtent(text, extent), std::string(s.file).find("kit_") == std::string::npos);
    }
}

std::string ring(const std::string& posList) {
    return "<gml:LinearRing><gml:posList>" + posList + "</gml:posList></gml:LinearRing>";
}
std::string sheet(const std::string& buildings) {
    return "<core:CityModel xmlns:core='c' xmlns:bldg='b' xmlns:gml='g'><gml:boundedBy><gml:Envelope>"
           "<gml:lowerCorner>0 0 0</gml:lowerCorner><gml:upperCorner>100 100 50</gml:upperCorner></gml:Envelope>"
           "</gml:boundedBy>" +
           buildings + "</core:CityModel>";
}

TEST(CityGmlSheet, Lod1FootprintsAndHeights) {
    const std::string ground = ring("0 0 10 20 0 10 20 20 10 0 20 10 0 0 10");
    const std::string yard = ring("5 5 10 8 5 10 8 8 10 5 5 10");
    const std::string roof = ring("0 0 16 20 0 16 20 20 16 0 20 16 0 0 16");
    struct Case {
        const char* what;
        std::string building;
        std::size_t count;
        double height, area;
    } cases[] = {
        {"measured height wins", "<bldg:measuredHeight>7.5</bldg:measuredHeight>" + ground + roof, 1, 7.5, 400},
        {"zero measured height takes the rings' span", "<bldg:measuredHeight>0</bldg:measuredHeight>" + ground + roof,
         1, 6, 400},
        {"flat building without height dropped", ground, 0, 0, 0},
        {"courtyard ring at ground level loses to the larger ring", yard + ground + roof, 1, 6, 400},
        {"two-point ring dropped", ring("0 0 1 1 1 1"), 0, 0, 0},
        {"list cut at a word that is no number", ring("0 0 10 20 0 10 nan 20 10 0 20 10") + roof, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto b = buildings::parseLod1Sheet(sheet("<bldg:Building gml:id='B1'>" + c.building + "</bldg:Building>"),
                                                 kEverywhere);
        ASSERT_EQ(b.size(), c.count);
        if (c.count == 0) continue;
        EXPECT_DOUBLE_EQ(b[0].height, c.height);
        EXPECT_DOUBLE_EQ(area(b[0].footprint), c.area);
        EXPECT_DOUBLE_EQ(b[0].groundZ, 10.0);
    }
    EXPECT_TRUE(buildings::parseLod1Sheet("<not xml", kEverywhere).empty());
}

TEST(CityGmlSheet, Lod2RoofTypeAndPosElements) {
    const std::string rings =
        "<gml:LinearRing><gml:pos>0 0 1</gml:pos><gml:pos>1 0 1</gml:pos><gml:pos>1 1 2</gml:pos>"
        "</gml:LinearRing>";
    auto b = buildings::parseLod2Sheet(sheet("<bldg:Building>" + rings + "</bldg:Building>"), kEverywhere);
    ASSERT_EQ(b.size(), 1u);
    EXPECT_EQ(b[0].surfaces[0].z, (std::vector<double>{1, 1, 2}));
    b = buildings::parseLod2Sheet(
        sheet("<bldg:Building><bldg:roofType>3100</bldg:roofType>" + rings + "</bldg:Building>"), {2, 2, 3, 3});
    EXPECT_TRUE(b.empty());
}

TEST(CityGmlSheet, ExtentOfCutOffText) {
    const std::string text = sheet("");
    geodesy::Bbox extent;
    ASSERT_TRUE(buildings::sheetExtent(text.substr(0, text.find("</gml:Envelope>")), extent));
    EXPECT_EQ(extent, (geodesy::Bbox{0, 0, 100, 100}));
    // Cut inside the upper corner's numbers: no half-read extent.
    EXPECT_FALSE(buildings::sheetExtent(text.substr(0, text.find("100 50")), extent));
}

}  // namespace
