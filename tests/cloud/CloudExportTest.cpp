// From sheets on disk to an E57 file: the export steps and `geodraft cloud-export` as a real process.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "TestLas.h"
#include "cloud_ui/CloudExport.h"
#include "e57/E57TestReader.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"
#include "support/TestSupport.h"

using platform::cformat;

using namespace cloudui;
using testsupport::TempDir;

namespace {

const geodesy::Bbox kFrame{639900.0, 485140.0, 639950.0, 485180.0};

struct CommandRun {
    int code = -1;
    std::string out, err;
};

CommandRun runGeodraft(const std::string& args, const std::string& env = "") {
    TempDir dir;
    const auto exe = testsupport::binaryDir() / "app" / "geodraft";
    const std::string cmd = env + " '" + exe.string() + "' " + args + " >'" + (dir / "out").string() + "' 2>'" +
                            (dir / "err").string() + "'";
    const int status = std::system(cmd.c_str());
    CommandRun r;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = testsupport::readFile(dir / "out");
    r.err = testsupport::readFile(dir / "err");
    return r;
}

std::string frameArg(const geodesy::Bbox& b) {
    return "--frame " + cformat("%.3f,%.3f,%.3f,%.3f", b.minE, b.minN, b.maxE, b.maxN);
}

// Points of a LAS 1.2 format-3 file, parsed here from the raw bytes.
std::vector<std::array<double, 3>> rawLasPoints(const std::filesystem::path& p) {
    const std::string s = testsupport::readFile(p);
    auto f64 = [&](std::size_t at) { return lastest::get<double>(s, at); };
    auto i32 = [&](std::size_t at) { return lastest::get<std::int32_t>(s, at); };
    const auto offset = lastest::get<std::uint32_t>(s, 96), count = lastest::get<std::uint32_t>(s, 107);
    const auto length = lastest::get<std::uint16_t>(s, 105);
    std::vector<std::array<double, 3>> pts;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t r = offset + std::size_t{i} * length;
        pts.push_back(
            {i32(r) * f64(131) + f64(155), i32(r + 4) * f64(139) + f64(163), i32(r + 8) * f64(147) + f64(171)});
    }
    return pts;
}

std::vector<lastest::Point> gridAround(const geodesy::Bbox& frame, double step) {
    std::vector<lastest::Point> pts;
    for (double e = frame.minE - 5.03; e < frame.maxE + 5; e += step)
        for (double n = frame.minN - 5.03; n < frame.maxN + 5; n += step)
            pts.push_back({e, n, 100.0, 0x4000, 2, 0x1000, 0x2000, 0x3000});
    return pts;
}

}  // namespace

TEST(CloudExport, SheetsBecomeOneE57WithTheRecordedOriginAndBounds) {
    TempDir dir;
    lastest::writeLas(dir / "a.las", gridAround(kFrame, 0.5));
    // The second sheet is in the zone and overlaps the first: its points join, thinned away where they repeat.
    std::vector<lastest::Point> zone;
    for (const auto& p : gridAround(kFrame, 0.5)) {
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(p.x + 0.01, p.y + 0.01, 2178);
        zone.push_back({z.x, z.y, p.z + 0.01, 0, 2, 0xFF00, 0xFF00, 0xFF00});
    }
    lastest::writeLas(dir / "b.las", zone);

    const CloudJob job{.frame = kFrame, .detail = Detail::Standard, .zone = 2178};
    std::vector<std::pair<std::string, double>> progress;
    const CloudResult r = exportCloud(job, {{dir / "a.las", 0}, {dir / "b.las", 2178}}, dir / "out.e57",
                                      [&](const std::string& label, double pct) {
                                          progress.push_back({label, pct});
                                      });
    ASSERT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.sheetsProcessed, 2u);
    // 100 x 80 grid points in the frame; a shifted copy adds at most one point per original.
    EXPECT_GE(r.count, 100u * 80u);
    EXPECT_LE(r.count, 2u * 100u * 80u);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), (std::pair<std::string, double>{"Przetwarzanie kafli LiDAR", 100.0}));

    e57test::File f;
    e57test::read(f, dir / "out.e57");
    ASSERT_EQ(f.error, "");
    ASSERT_EQ(f.scans.size(), 1u);
    EXPECT_EQ(f.scans[0].recordCount, r.count);
    EXPECT_EQ(f.scans[0].column("colorRed").front(), 0x10);  // the first sheet's colour wins in a shared voxel
    EXPECT_NEAR(r.offE, lastest::zoneOrigin(kFrame, 2178).x, 1e-3);
}

TEST(CloudExport, FailuresNameTheCauseAndLeaveNoFile) {
    TempDir dir;
    CloudJob job{.frame = kFrame, .zone = 2178};
    lastest::writeLas(dir / "a.las", gridAround(kFrame, 2.0));
    testsupport::writeFile(dir / "junk.laz", "not a point cloud");

    CloudResult r = exportCloud(job, {{dir / "junk.laz", 0}, {dir / "missing.las", 0}}, dir / "x.e57");
    EXPECT_EQ(r.message, "Nie udalo sie pobrac zadnego kafla LiDAR dla tego obszaru.");
    EXPECT_EQ(r.losses.rfind("pominieto 2 z 2 kafli LiDAR (junk.laz: ", 0), 0u) << r.losses;
    EXPECT_NE(r.losses.find("; missing.las: Nie mozna otworzyc pliku"), std::string::npos) << r.losses;

    // One bad sheet among good ones is skipped with a note, not a failure.
    r = exportCloud(job, {{dir / "junk.laz", 0}, {dir / "a.las", 0}}, dir / "x.e57");
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.losses.rfind("pominieto 1 z 2 kafli LiDAR (junk.laz: ", 0), 0u) << r.losses;
    std::filesystem::remove(dir / "x.e57");

    r = exportCloud(job, {{dir / "a.las", 0}}, dir / "no-folder" / "x.e57");
    EXPECT_EQ(r.message, "Blad zapisu E57: Nie mozna zapisac pliku e57.");

    job.zone = 2180;
    r = exportCloud(job, {{dir / "a.las", 0}}, dir / "x.e57");
    EXPECT_EQ(r.message, "Blad pobierania chmury: Nieobslugiwany EPSG PL-2000");

    // Cancelled while the second of three sheets is read, after some blocks of points went to the file: the
    // part written is gone and an earlier file at the destination is as it was.
    job.zone = 2178;
    job.detail = Detail::Full;
    std::atomic<bool> cancel{false};
    lastest::writeLas(dir / "big.las", gridAround(kFrame, 0.1));
    testsupport::writeFile(dir / "x.e57", "earlier");
    r = exportCloud(
        job, {{dir / "a.las", 0}, {dir / "big.las", 0}, {dir / "a.las", 0}}, dir / "x.e57",
        [&](const std::string& label, double) {
            if (label.rfind("Kafel 2/3", 0) == 0) cancel = true;
        },
        &cancel);
    EXPECT_EQ(r.message, "Anulowano.");
    EXPECT_EQ(testsupport::readFile(dir / "x.e57"), "earlier");
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path)) ++files;
    EXPECT_EQ(files, 4u);  // the sheets and the earlier file
}

TEST(CloudExportCommand, RealWarsawSheetEndToEnd) {
    GD_REQUIRE_REALDATA("laz/pdal_warsaw_small.las");
    const auto las = testsupport::realdata("laz/pdal_warsaw_small.las");
    TempDir dir;
    // A frame that cuts through the sheet, so the crop matters.
    const geodesy::Bbox frame{639920.0, 485150.0, 639940.0, 485170.0};
    auto exportTo = [&](const std::string& name, const std::string& options, CommandRun& run) {
        run = runGeodraft("cloud-export " + frameArg(frame) + " --zone 2178 " + options + " --out '" +
                          (dir / name).string() + "' '" + las.string() + "'");
        e57test::File f;
        EXPECT_EQ(run.code, 0) << run.err;
        if (run.code == 0) e57test::read(f, dir / name);
        EXPECT_EQ(f.error, "");
        return f;
    };
    CommandRun run;
    const e57test::File f = exportTo("w.e57", "--detail full", run);
    ASSERT_EQ(run.code, 0) << run.err;

    // The expected points, from the raw records with the exact grid conversion.
    std::vector<std::array<double, 3>> expected;
    for (const auto& p : rawLasPoints(las))
        if (p[0] >= frame.minE && p[0] <= frame.maxE && p[1] >= frame.minN && p[1] <= frame.maxN) expected.push_back(p);
    ASSERT_GT(expected.size(), 100u);
    EXPECT_NE(run.out.find("punktow=" + std::to_string(expected.size())), std::string::npos) << run.out;

    ASSERT_EQ(f.scans.size(), 1u);
    const e57test::Scan& s = f.scans[0];
    ASSERT_EQ(s.recordCount, expected.size());
    const auto [offE, offN] = lastest::zoneOrigin(frame, 2178);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(expected[i][0], expected[i][1], 2178);
        ASSERT_NEAR(s.column("cartesianX")[i], z.x - offE, 2e-3) << i;
        ASSERT_NEAR(s.column("cartesianY")[i], z.y - offN, 2e-3) << i;
        ASSERT_NEAR(s.column("cartesianZ")[i], expected[i][2], 1e-4) << i;
    }

    // Thinning only ever removes points.
    EXPECT_LT(exportTo("l.e57", "--detail lekki", run).scans.at(0).recordCount, expected.size());

    // With an origin given (the project's survey point) the same points are relative to it, height included.
    const e57test::File of = exportTo("o.e57", "--detail full --origin 7503300,5786760,80", run);
    const geodesy::PlanarPoint first = geodesy::pl1992ToPl2000(expected[0][0], expected[0][1], 2178);
    EXPECT_NEAR(of.scans.at(0).column("cartesianX")[0], first.x - 7503300.0, 2e-3);
    EXPECT_NEAR(of.scans.at(0).column("cartesianY")[0], first.y - 5786760.0, 2e-3);
    EXPECT_NEAR(of.scans.at(0).column("cartesianZ")[0], expected[0][2] - 80.0, 1e-4);
}

TEST(CloudExportCommand, BadInputIsRefusedInPolishWithAFailureCode) {
    TempDir dir;
    lastest::writeLas(dir / "a.las", gridAround(kFrame, 2.0));
    const std::string sheet = " '" + (dir / "a.las").string() + "'";
    const std::string out = " --out '" + (dir / "o.e57").string() + "'";

    const std::string full = " --zone 2178 --detail full";
    const struct {
        std::string args;
        int code;
        std::string message;
    } rows[] = {
        {"--frame 639950,485140,639900,485180" + full + out + sheet, 2, "Nieprawidlowy bbox"},
        {"--frame -inf,485140,inf,485180" + full + out + sheet, 2, "Nieprawidlowy bbox"},
        {frameArg(kFrame) + " --origin nan,0,0" + full + out + sheet, 2, "Nieprawidlowy poczatek ukladu"},
        {frameArg(kFrame) + " --zone 2180 --detail full" + out + sheet, 2, "Nieobslugiwany EPSG PL-2000"},
        {frameArg(kFrame) + " --zone 2178 --detail ful" + out + sheet, 2, ""},
        {frameArg(kFrame) + full + out, 2, ""},
        {"--frame 0,0,10,10" + full + out + sheet, 1, "Brak punktow w wybranym obszarze (po przycieciu do kadru)."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.args);
        const CommandRun r = runGeodraft("cloud-export " + row.args);
        EXPECT_EQ(r.code, row.code);
        EXPECT_NE(r.err.find(row.message), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(dir / "o.e57"));
    }

    // Under a decimal-comma locale the frame still reads with points and the report prints them.
    const CommandRun r =
        runGeodraft("cloud-export --frame 639900.5,485140.5,639950.5,485180.5 --zone 2178 --detail lekki" + out + sheet,
                    "LC_ALL=pl_PL.UTF-8");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("offE=75"), std::string::npos);
    EXPECT_EQ(r.out.find(','), std::string::npos) << r.out;
}
