// E57 files read back with an independent reader: page checksums, header offsets, section and packet
// layout, the XML tree and the bounds.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <random>
#include <sstream>

#include "E57TestReader.h"
#include "formats/e57/E57Writer.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

using e57::E57Writer, e57::writeE57;
using formats::CloudPoint;
using platform::parseDouble;

namespace {

using testsupport::TempDir;

// Points at random within [lo, hi) (a tenth of that in height), in random colours.
std::vector<CloudPoint> randomPoints(std::size_t n, unsigned seed, double lo, double hi) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> coord(lo, hi);
    std::vector<CloudPoint> pts(n);
    for (auto& p : pts) {
        p = {coord(rng),
             coord(rng),
             coord(rng) / 10,
             static_cast<std::uint8_t>(rng()),
             static_cast<std::uint8_t>(rng()),
             static_cast<std::uint8_t>(rng()),
             0};
    }
    return pts;
}

// Writes and reads back; fails the test when the writer refuses or the reader finds a fault.
void writeAndRead(const std::vector<CloudPoint>& pts, const std::filesystem::path& path, e57test::File& f) {
    std::string error;
    ASSERT_TRUE(writeE57(path, pts, error)) << error;
    e57test::read(f, path);
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.badChecksums, 0u);
    ASSERT_EQ(f.scans.size(), 1u);
}

}  // namespace

TEST(E57Reader, UnderstandsFilesOfAnotherWriter) {
    GD_REQUIRE_REALDATA("e57/pdal_A4.e57");
    GD_REQUIRE_REALDATA("e57/pdal_A_B.e57");
    e57test::File a4;
    e57test::read(a4, testsupport::realdata("e57/pdal_A4.e57"));
    ASSERT_EQ(a4.error, "");
    EXPECT_EQ(a4.badChecksums, 0u);
    EXPECT_EQ(a4.physicalLength, 4096u);
    EXPECT_EQ(a4.xmlPhysicalOffset, 176u);
    EXPECT_EQ(a4.xmlLogicalLength, 2996u);
    ASSERT_EQ(a4.scans.size(), 1u);
    const e57test::Scan& s = a4.scans[0];
    EXPECT_EQ(s.name, "A4 - Cloud");
    EXPECT_EQ(s.recordCount, 4u);
    EXPECT_EQ(s.dataPhysicalOffset, 80u);

    e57test::File ab;
    e57test::read(ab, testsupport::realdata("e57/pdal_A_B.e57"));
    ASSERT_EQ(ab.error, "");
    ASSERT_EQ(ab.scans.size(), 2u);
    EXPECT_EQ(ab.scans[0].recordCount, 2u);
    EXPECT_EQ(ab.scans[1].recordCount, 4u);
    EXPECT_EQ(ab.scans[1].column("cartesianX"), s.column("cartesianX"));
    EXPECT_EQ(ab.scans[1].column("colorBlue"), s.column("colorBlue"));
}

// A one-point file has the smallest layout; strict readers need CDATA strings, empty elements for zeros and
// shortest number forms.
TEST(E57Writer, OnePointFileLayoutAndXmlText) {
    TempDir dir;
    e57test::File f;
    writeAndRead({{1.5, 2.25, -3.0, 10, 20, 30, 2}}, dir / "exact.e57", f);
    EXPECT_EQ(f.pageSize, 1024u);
    EXPECT_EQ(f.physical.size(), f.physicalLength);
    const e57test::Scan& s = f.scans[0];
    EXPECT_EQ(s.fileOffset, 48u);
    EXPECT_EQ(s.sectionLength, 68u);
    EXPECT_EQ(f.xmlPhysicalOffset, 48u + 68u);
    // Bytes of the reserved field and of the last page after the XML are zero.
    EXPECT_EQ(f.logical.substr(49, 7), std::string(7, '\0'));
    EXPECT_EQ(f.logical.find_first_not_of('\0', 116 + f.xmlLogicalLength), std::string::npos);
    for (const char* part :
         {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><e57Root type=\"Structure\" "
          "xmlns=\"http://www.astm.org/COMMIT/E57/2010-e57-v1.0\"><formatName type=\"String\">"
          "<![CDATA[ASTM E57 3D Imaging Data File]]></formatName>",
          "<versionMajor type=\"Integer\">1</versionMajor><versionMinor type=\"Integer\"/>",
          "<cartesianBounds type=\"Structure\"><xMinimum type=\"Float\">1.5</xMinimum>",
          "<zMaximum type=\"Float\">-3</zMaximum></cartesianBounds>",
          "<points type=\"CompressedVector\" fileOffset=\"48\" recordCount=\"1\"><prototype type=\"Structure\">"
          "<cartesianX type=\"Float\" precision=\"single\" minimum=\"1.5\" maximum=\"1.5\">1.5</cartesianX>",
          "<colorBlue type=\"Integer\" minimum=\"0\" maximum=\"255\"/></prototype>"
          "<codecs type=\"Vector\" allowHeterogeneousChildren=\"1\"/></points></vectorChild></data3D>"
          "<images2D type=\"Vector\" allowHeterogeneousChildren=\"1\"/></e57Root>"})
        EXPECT_NE(f.xml.find(part), std::string::npos) << part;
    // The packet bytes: type, flags, length - 1, stream count, six lengths, the streams, zero padding.
    const std::string packet(
        "\x01\x00\x23\x00\x06\x00\x04\x00\x04\x00\x04\x00\x01\x00\x01\x00\x01\x00"
        "\x00\x00\xc0\x3f\x00\x00\x10\x40\x00\x00\x40\xc0\x0a\x14\x1e\x00\x00\x00",
        36);
    EXPECT_EQ(f.logical.substr(80, 36), packet);
}

TEST(E57Writer, PacketsHoldAtMost1057PointsAndRoundTrip) {
    TempDir dir;
    for (std::size_t n : {1057u, 1058u, 5000u}) {
        const auto pts = randomPoints(n, static_cast<unsigned>(n), -500.0, 500.0);
        e57test::File f;
        writeAndRead(pts, dir / ("n" + std::to_string(n) + ".e57"), f);
        const e57test::Scan& s = f.scans[0];
        const std::size_t packets = (n + 1056) / 1057;
        ASSERT_EQ(s.packets.size(), packets) << n;
        std::uint64_t total = 0;
        for (std::size_t k = 0; k < packets; ++k) {
            const std::size_t m = k + 1 < packets ? 1057 : n - 1057 * k;
            EXPECT_EQ(s.packets[k].streamLengths[0], 4 * m);
            EXPECT_EQ(s.packets[k].streamLengths[5], m);
            EXPECT_EQ(s.packets[k].length, (18 + 15 * m + 3) / 4 * 4);
            total += s.packets[k].length;
        }
        EXPECT_EQ(s.sectionLength, 32 + total);

        float minX = 1e30f, maxX = -1e30f;
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_EQ(s.column("cartesianX")[i], double(float(pts[i].x))) << i;
            ASSERT_EQ(s.column("cartesianY")[i], double(float(pts[i].y))) << i;
            ASSERT_EQ(s.column("cartesianZ")[i], double(float(pts[i].z))) << i;
            ASSERT_EQ(s.column("colorRed")[i], pts[i].red) << i;
            ASSERT_EQ(s.column("colorGreen")[i], pts[i].green) << i;
            ASSERT_EQ(s.column("colorBlue")[i], pts[i].blue) << i;
            minX = std::min(minX, float(pts[i].x));
            maxX = std::max(maxX, float(pts[i].x));
        }
        // Bounds, row range, count and the prototype's range and midpoint follow the stored floats.
        pugi::xml_node b = f.doc.child("e57Root").child("data3D").child("vectorChild").child("cartesianBounds");
        EXPECT_EQ(e57test::number(b.child("xMinimum").text()), double(minX));
        EXPECT_EQ(e57test::number(b.child("xMaximum").text()), double(maxX));
        EXPECT_EQ(b.parent().child("indexBounds").child("rowMaximum").text().as_ullong(), n - 1);
        pugi::xml_node points = b.parent().child("points");
        EXPECT_EQ(points.attribute("recordCount").as_ullong(), n);
        pugi::xml_node x = points.child("prototype").child("cartesianX");
        EXPECT_EQ(e57test::number(x.attribute("minimum")), double(minX));
        EXPECT_EQ(e57test::number(x.attribute("maximum")), double(maxX));
        EXPECT_EQ(e57test::number(x.text()), (double(minX) + double(maxX)) / 2);
    }
}

TEST(E57Writer, PagesAndOffsetsAcrossPageBoundaries) {
    TempDir dir;
    // Point counts whose logical stream ends exactly on a page boundary, and one byte past one; the XML length
    // is the same for 101 to 999 points, so one probe predicts the rest.
    bool sawExact = false, sawOneMore = false;
    for (int combo = 0; combo < 64 && !(sawExact && sawOneMore); ++combo) {
        // Two x values of different widths move the XML length in single bytes.
        const double lo = -std::pow(10.0, combo % 8) - 0.25, hi = std::pow(10.0, combo / 8) + 0.5;
        auto pointsOf = [&](std::size_t n) {
            std::vector<CloudPoint> pts(n, CloudPoint{lo, 0.0, 0.0, 1, 2, 3, 0});
            pts.back().x = hi;
            return pts;
        };
        e57test::File probe;
        writeAndRead(pointsOf(101), dir / "probe.e57", probe);
        for (std::size_t n = 101; n < 1000; ++n) {
            const std::uint64_t section = 32 + (18 + 15 * n + 3) / 4 * 4;
            const std::uint64_t predicted = 48 + section + probe.xmlLogicalLength;
            const bool exact = predicted % 1020 == 0, oneMore = predicted % 1020 == 1;
            if (!(exact && !sawExact) && !(oneMore && !sawOneMore)) continue;
            e57test::File f;
            writeAndRead(pointsOf(n), dir / "page.e57", f);
            const std::uint64_t xmlLogical = 48 + f.scans[0].sectionLength;
            const std::uint64_t logicalLength = xmlLogical + f.xmlLogicalLength;
            ASSERT_EQ(logicalLength, predicted);
            EXPECT_EQ(f.xmlPhysicalOffset, xmlLogical + 4 * (xmlLogical / 1020));
            const std::size_t lastPage = f.physical.size() - 1024;
            if (exact) {
                sawExact = true;
                EXPECT_EQ(f.physical.size(), logicalLength / 1020 * 1024);
                EXPECT_EQ(f.physical[lastPage + 1019], '>');  // the XML fills the page to its last byte
            } else {
                sawOneMore = true;
                EXPECT_EQ(f.physical.size(), (logicalLength / 1020 + 1) * 1024);
                EXPECT_EQ(f.physical[lastPage], '>');  // the last byte of the XML
                EXPECT_EQ(f.physical.substr(lastPage + 1, 1019), std::string(1019, '\0'));
            }
        }
    }
    EXPECT_TRUE(sawExact);
    EXPECT_TRUE(sawOneMore);
}

// An independent reader (scripts/install-deps.sh installs it) decodes the same points across packets and pages.
TEST(E57Writer, IndependentReaderDecodesTheSamePoints) {
    const auto tool = testsupport::sourceDir() / "tests" / "e57" / "independent";
    if (!std::filesystem::exists(tool / "node_modules" / "web-e57") ||
        std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "independent E57 reader not installed (scripts/install-deps.sh installs node and " << tool
                     << ")";
    TempDir dir;
    const auto pts = randomPoints(2500, 57, -20.0, 1500.0);
    std::string error;
    ASSERT_TRUE(writeE57(dir / "cloud.e57", pts, error)) << error;
    const std::string cmd = "cd '" + tool.string() + "' && node --experimental-wasm-modules check.mjs '" +
                            (dir / "cloud.e57").string() + "' >'" + (dir / "xyz").string() + "' 2>'" +
                            (dir / "err").string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << testsupport::readFile(dir / "err");

    std::istringstream lines(testsupport::readFile(dir / "xyz"));
    std::string line;
    std::size_t i = 0;
    for (; i < pts.size() && std::getline(lines, line); ++i) {
        std::istringstream words(line);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        ASSERT_EQ(w.size(), 6u) << line;
        // The reader prints the stored single-precision values: each must be a float and the one written.
        const float coords[3] = {static_cast<float>(pts[i].x), static_cast<float>(pts[i].y),
                                 static_cast<float>(pts[i].z)};
        const int colours[3] = {pts[i].red, pts[i].green, pts[i].blue};
        for (std::size_t k = 0; k < 6; ++k) {
            double v = 0;
            ASSERT_TRUE(parseDouble(w[k], v)) << line;
            if (k < 3) {
                EXPECT_EQ(static_cast<float>(v), coords[k]) << "point " << i << ": " << line;
                EXPECT_EQ(v, static_cast<double>(static_cast<float>(v))) << "not a stored float: " << line;
            } else {
                EXPECT_EQ(v, colours[k - 3]) << "point " << i << ": " << line;
            }
        }
    }
    EXPECT_EQ(i, pts.size());
    EXPECT_FALSE(std::getline(lines, line)) << "more points than written: " << line;
}

TEST(E57Writer, NumbersIgnoreADecimalCommaLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (!std::setlocale(LC_NUMERIC, "pl_PL.UTF-8")) GTEST_SKIP() << "pl_PL.UTF-8 locale not installed";
    TempDir dir;
    std::string error;
    const bool ok = writeE57(dir / "pl.e57", {{0.5, 1.25, -2.75, 0, 0, 0, 0}}, error);
    std::setlocale(LC_NUMERIC, previous.c_str());
    ASSERT_TRUE(ok) << error;
    e57test::File f;
    e57test::read(f, dir / "pl.e57");
    ASSERT_EQ(f.error, "");
    EXPECT_NE(f.xml.find("<xMinimum type=\"Float\">0.5</xMinimum>"), std::string::npos);
    EXPECT_NE(f.xml.find("minimum=\"-2.75\""), std::string::npos);
}

TEST(E57Writer, FailuresAreReportedAndLeaveNoFile) {
    TempDir dir;
    std::string error;
    EXPECT_FALSE(writeE57(dir / "empty.e57", {}, error));
    EXPECT_EQ(error, "Brak punktow do zapisu.");
    EXPECT_FALSE(std::filesystem::exists(dir / "empty.e57"));

    // A device that accepts the open but not the bytes (a full disk): not a success.
    if (std::filesystem::exists("/dev/full")) {
        error.clear();
        EXPECT_FALSE(writeE57("/dev/full", randomPoints(5000, 1, -500.0, 500.0), error));
        EXPECT_EQ(error, "Nie mozna zapisac pliku e57.");
    }

    // Replacing an existing file leaves exactly the new content.
    testsupport::writeFile(dir / "old.e57", std::string(100000, 'x'));
    e57test::File f;
    writeAndRead(randomPoints(1, 1, 0.0, 1.0), dir / "old.e57", f);
    EXPECT_EQ(std::filesystem::file_size(dir / "old.e57"), f.physicalLength);
    EXPECT_LT(f.physicalLength, 100000u);
}

TEST(E57Writer, BlocksOfAnySizeGiveTheSameBytesAsTheWholeList) {
    TempDir dir;
    const auto pts = randomPoints(5000, 2, 630000.0, 631000.0);
    std::string error;
    ASSERT_TRUE(writeE57(dir / "whole.e57", pts, error)) << error;
    E57Writer w;
    ASSERT_TRUE(w.open(dir / "blocks.e57", error));
    std::size_t at = 0;
    for (std::size_t n : {1, 1056, 1, 1057, 2000}) {
        w.add(pts.data() + at, std::min(n, pts.size() - at));
        at += n;
    }
    w.add(pts.data() + at, pts.size() - at);
    ASSERT_TRUE(w.close(error)) << error;
    EXPECT_EQ(testsupport::readFile(dir / "blocks.e57"), testsupport::readFile(dir / "whole.e57"));
}
