// Reading LAS sheets written here into points and into the accumulator: colours, classes, damage, zone sheets.
#include <gtest/gtest.h>
#include <malloc.h>

#include <array>

#include "TestLas.h"
#include "cloud_ui/CloudAccumulator.h"
#include "cloud_ui/SheetImport.h"
#include "geodesy/Crs.h"
#include "lidar/LasSheet.h"
#include "support/TestSupport.h"

using formats::CloudPoint;

using namespace cloudui;
using lidar::LasSheet, lidar::SheetRead;
using testsupport::TempDir;

namespace {

std::vector<CloudPoint> readAll(const std::filesystem::path& path, LasSheet& sheet) {
    std::vector<CloudPoint> pts;
    if (!sheet.open(path)) return pts;
    CloudPoint p;
    while (sheet.next(p)) pts.push_back(p);
    return pts;
}

}  // namespace

TEST(LasSheet, ColourComesFromTheRecordOrFromTheIntensity) {
    TempDir dir;
    lastest::Point a{639900.125, 485150.5, 101.25, 0xAB07, 5, 0x1234, 0x5678, 0x9ABC};
    lastest::Point b{639901.0, 485151.0, 99.0, 0x00FF, 2, 0xFF00, 0x00FF, 0x8000};
    for (int format : {0, 1, 2, 3, 6, 7, 8}) {
        SCOPED_TRACE(format);
        // Extra bytes after the core record change nothing.
        lastest::writeLas(dir / "s.las", {a, b}, {.format = format, .extraBytes = format == 3 ? 7 : 0});
        LasSheet sheet;
        const auto pts = readAll(dir / "s.las", sheet);
        ASSERT_EQ(pts.size(), 2u) << sheet.error();
        EXPECT_FALSE(sheet.failed());
        EXPECT_DOUBLE_EQ(pts[0].z, 101.25);
        EXPECT_EQ(pts[0].classification, 5);
        EXPECT_EQ(pts[1].classification, 2);
        const bool rgb = format == 2 || format == 3 || format == 7 || format == 8;
        auto rgbOf = [](const CloudPoint& p) { return std::array<int, 3>{p.red, p.green, p.blue}; };
        EXPECT_EQ(rgbOf(pts[0]), (rgb ? std::array{0x12, 0x56, 0x9A} : std::array{0xAB, 0xAB, 0xAB}));
        if (rgb) {
            EXPECT_EQ(rgbOf(pts[1]), (std::array{0xFF, 0x00, 0x80}));
        } else {
            EXPECT_EQ(pts[1].red, 0x00);
        }
    }
    // Formats 0..5 share the class byte with three flag bits: a synthetic ground point is still ground.
    lastest::Point flagged{639900.0, 485150.0, 100.0, 0, 0xA2, 0, 0, 0};
    for (int format : {1, 6}) {
        lastest::writeLas(dir / "f.las", {flagged}, {.format = format});
        LasSheet sheet;
        const auto pts = readAll(dir / "f.las", sheet);
        ASSERT_EQ(pts.size(), 1u);
        EXPECT_EQ(pts[0].classification, format == 1 ? 2 : 0xA2);
    }
    // Colour positions that do not fit the record mean no colour.
    EXPECT_EQ(LasSheet::colourOffset(3, 33), -1);
    EXPECT_EQ(LasSheet::classOffset(6, 16), -1);
}

TEST(LasSheet, UnusableAndDamagedSheets) {
    TempDir dir;
    lastest::writeLas(dir / "empty.las", {});
    CloudAccumulator acc(geodesy::Bbox{639000, 485000, 640000, 486000}, 0.0, 2178);
    const SheetRead none = importSheet(dir / "empty.las", 0, acc);
    EXPECT_FALSE(none.usable);
    EXPECT_FALSE(none.error.empty());

    // A download cut off in the middle of the points: what was read is kept, the rest is reported.
    std::vector<lastest::Point> pts;
    for (int i = 0; i < 100; ++i) pts.push_back({639500.0 + i, 485500.0, 100.0, 0, 2, 0, 0, 0});
    lastest::writeLas(dir / "cut.las", pts, {.format = 1, .cutAfter = 227 + 28 * 40 + 10});
    const SheetRead cut = importSheet(dir / "cut.las", 0, acc);
    EXPECT_TRUE(cut.usable);
    EXPECT_FALSE(cut.complete);
    EXPECT_FALSE(cut.error.empty());
    EXPECT_EQ(cut.pointsInHeader, 100u);
    EXPECT_LE(cut.pointsRead, 40u);
    EXPECT_EQ(acc.size(), cut.pointsInFrame);

    // Records of the longest length a header can give: read whole, without a buffer of thousands of them.
    std::vector<lastest::Point> few(pts.begin(), pts.begin() + 3);
    std::string bytes = lastest::lasBytes(few, {.extraBytes = 65535 - lastest::coreLength(3)});
    lastest::put<std::uint32_t>(bytes, 107, 100000);  // announces far more than the download holds
    testsupport::writeFile(dir / "wide.las", bytes);
    LasSheet sheet;
    auto heapInUse = [] {
        const struct mallinfo2 m = mallinfo2();
        return m.uordblks + m.hblkhd;
    };
    const std::size_t before = heapInUse();
    ASSERT_TRUE(sheet.open(dir / "wide.las")) << sheet.error();
    EXPECT_LT(heapInUse() - before, std::size_t{16} << 20);
    CloudPoint p;
    for (const lastest::Point& want : few) {
        ASSERT_TRUE(sheet.next(p));
        EXPECT_NEAR(p.x, want.x, 1e-6);
        EXPECT_EQ(p.classification, 2);
    }
    EXPECT_FALSE(sheet.next(p));
    EXPECT_TRUE(sheet.failed());
}

TEST(SheetImport, ZoneSheetIsToldByItsExtentAndNeverReadAsPl1992) {
    // That zone sheets give the same points as PL-1992 ones is checked on the palette's file by the independent reader.
    TempDir dir;
    const geodesy::Bbox frame{639900.0, 485140.0, 639950.0, 485180.0};
    const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(639920.0, 485160.0, 2178);
    lastest::writeLas(dir / "pl2000.las", {{z.x, z.y, 100.0, 0, 2, 0, 0, 0}}, {.offsetX = 7500000, .offsetY = 5700000});
    LasSheet probe;
    ASSERT_TRUE(probe.open(dir / "pl2000.las"));
    EXPECT_EQ(LasSheet::epsgFromExtent(probe.header()), 2178);
    CloudAccumulator a(frame, 0.0, 2178), c(frame, 0.0, 2178);
    EXPECT_EQ(importSheet(dir / "pl2000.las", 2178, a).pointsInFrame, 1u);
    EXPECT_EQ(importSheet(dir / "pl2000.las", 0, c).pointsInFrame, 0u);
}
