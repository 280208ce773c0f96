// The small LAS/LAZ files kept in tests/data/las and the fuzz seeds: twins decode alike, and the
// las-info command reports them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "LasTestSupport.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

using platform::cformat;

namespace {

struct DataFile {
    const char* stem;
    std::uint8_t format;
    std::uint16_t recordLength;
    std::size_t points;
    std::uint32_t chunk;
    bool channels;
};

// 3 chunks each, so chunk boundaries and the chunk table are in every seed.
const DataFile kFiles[] = {
    {"f1_pointwise", 1, 28, 250, 100, false},  {"f3_extra_bytes", 3, 37, 250, 100, false},
    {"f6_channels", 6, 30, 250, 100, true},    {"f7_channels", 7, 36, 250, 100, true},
    {"f8_extra_bytes", 8, 40, 250, 100, true},
};

std::filesystem::path dataDir() { return testsupport::sourceDir() / "tests/data/las"; }

std::string runLasInfo(const std::filesystem::path& file, const std::filesystem::path& out, const char* locale,
                       bool succeeds = true) {
    const auto program = testsupport::binaryDir() / "app/geodraft";
    const std::string cmd = std::string("LC_ALL=") + locale + " '" + program.string() + "' las-info --threads 2 '" +
                            file.string() + "' > '" + out.string() + "' 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()) == 0, succeeds) << testsupport::readFile(out);
    return testsupport::readFile(out);
}

std::filesystem::path dataFile(const DataFile& f, const char* ext) { return dataDir() / (f.stem + std::string(ext)); }

}  // namespace

// Writes the data files and fuzz seeds again: run with --gtest_also_run_disabled_tests.
TEST(LasDataFiles, DISABLED_WriteDataFiles) {
    for (const auto& f : kFiles) {
        const auto records = lastest::lifelikeRecords(f.format, f.recordLength, f.points, 2026, f.channels);
        lastest::writeLas(dataFile(f, ".las"), {f.format, f.recordLength}, records);
        for (const auto& dir : {dataDir(), testsupport::sourceDir() / "tests/fuzz/corpus/laz"})
            lastest::writeLaz(dir / (std::string(f.stem) + ".laz"), {f.format, f.recordLength}, records, f.chunk);
    }
}

TEST(LasInfoCommand, TwinsReportTheSameRecordHashWhateverTheLocaleAndCutFilesFail) {
    testsupport::TempDir dir;
    for (const auto& f : kFiles) {
        SCOPED_TRACE(f.stem);
        const auto las = lastest::readAll(dataFile(f, ".las"));
        const std::string expected =
            cformat("records-fnv1a64 %016llx\n", static_cast<unsigned long long>(lastest::fnv1a(las.bytes)));
        const std::string a = runLasInfo(dataFile(f, ".las"), dir / "a.txt", "C");
        const std::string b = runLasInfo(dataFile(f, ".laz"), dir / "b.txt", "pl_PL.UTF-8");
        EXPECT_NE(a.find(expected), std::string::npos) << a;
        EXPECT_NE(b.find(expected), std::string::npos) << b;
        EXPECT_NE(b.find("kompresja: LAZ, kompresor " + std::to_string(f.format >= 6 ? 3 : 2) + ", chunk 100\n"),
                  std::string::npos)
            << b;
        EXPECT_NE(b.find("punkty odczytane: 250\n"), std::string::npos) << b;
        EXPECT_FALSE(std::regex_search(b, std::regex("[0-9],[0-9]"))) << "a decimal comma leaked into: " << b;
        EXPECT_EQ(
            testsupport::readFile(dataFile(f, ".laz")),
            testsupport::readFile(testsupport::sourceDir() / "tests/fuzz/corpus/laz" / (std::string(f.stem) + ".laz")));
    }
    // Header, points by class and bounds of a real sheet.
    const char* warsaw = "laz/pdal_warsaw_small.las";
    if (std::filesystem::exists(testsupport::realdata(warsaw))) {
        const std::string out = runLasInfo(testsupport::realdata(warsaw), dir / "w.txt", "pl_PL.UTF-8");
        EXPECT_NE(out.find("wersja: 1.2\nformat punktu: 3\n"), std::string::npos) << out;
        EXPECT_NE(out.find("program: LASzip DLL 3.4 r3 (191111)\npunkty w naglowku: 3000\n"), std::string::npos) << out;
        EXPECT_NE(
            out.find("punkty odczytane: 3000\nklasa 0: 433\nklasa 2: 1381\nklasa 3: 257\nklasa 4: 27\nklasa 5: 902\n"),
            std::string::npos)
            << out;
        EXPECT_NE(out.find("zakres punktow: x 639913.260..639946.750"), std::string::npos) << out;
    }
    // A cut file fails with a message.
    std::string bytes = testsupport::readFile(dataDir() / "f7_channels.laz");
    bytes.resize(bytes.size() / 2);
    testsupport::writeFile(dir / "cut.laz", bytes);
    const std::string cut = runLasInfo(dir / "cut.laz", dir / "o.txt", "C", false);
    EXPECT_NE(cut.find("blad: Uszkodzony plik LAZ"), std::string::npos) << cut;
}
