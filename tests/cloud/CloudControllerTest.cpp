// The point-cloud palette's controller against the simulator's LiDAR places: page messages in, pushed messages,
// files and the project's georeference out; and `geodraft session --palette cloud` read back independently.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <locale>
#include <sstream>

#include "CloudScenario.h"
#include "cloud_ui/CloudController.h"
#include "geodesy/Crs.h"
#include "model/ModelHost.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"
#include "support/GeodraftRun.h"
#include "support/SimulatorFixture.h"

using nlohmann::json;
namespace fs = std::filesystem;

namespace {

// A page frame (west, south, east, north) whose PL-1992 box holds the given box, and that box.
struct PageFrame {
    json wgs;
    geodesy::Bbox box;
};

PageFrame pageFrame(const geodesy::Bbox& b) {
    const geodesy::LatLon sw = geodesy::pl1992ToWgs84(b.minE, b.minN), ne = geodesy::pl1992ToWgs84(b.maxE, b.maxN);
    return {json::array({sw.lon, sw.lat, ne.lon, ne.lat}),
            geodesy::boundsOf({geodesy::wgs84ToPl1992(sw.lat, sw.lon), geodesy::wgs84ToPl1992(sw.lat, ne.lon),
                               geodesy::wgs84ToPl1992(ne.lat, sw.lon), geodesy::wgs84ToPl1992(ne.lat, ne.lon)})};
}

std::string pathOf(const std::string& url) { return url.substr(url.find("/NumDaneWys")); }

const geodesy::Bbox kRadomInner{649420.0, 394720.0, 649580.0, 394880.0};  // across all four sheets

class CloudPage : public SimulatorFixture {
protected:
    CloudPage() : SimulatorFixture({}, sim::buildCloudScenario) {}

    void SetUp() override {
        SimulatorFixture::SetUp();
        ::setenv("XDG_CONFIG_HOME", (temp.path / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (temp.path / "state").c_str(), 1);
        fs::create_directories(temp.path / "tmp");  // the in-process simulator writes its sheets there too
        ::setenv("TMPDIR", (temp.path / "tmp").c_str(), 1);
        ::setenv("GEODRAFT_PACING_MS", "0", 1);
        host::installHost(&model);
        controller.webClient().options = client.options;
        controller.registerHandlers(bridge);
        bridge.setSender([this](const std::string& text) {
            sent.push_back(json::parse(text));
            const json copy = sent.back();  // a handler called from here may add to the list
            if (onSent) onSent(copy);
        });
    }
    void TearDown() override {
        EXPECT_TRUE(platform::settleWorkers(std::chrono::seconds(60)));
        host::installHost(nullptr);
        for (const char* v : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "TMPDIR", "GEODRAFT_PACING_MS"}) ::unsetenv(v);
        SimulatorFixture::TearDown();
    }

    std::vector<json> send(const json& msg) {
        const std::size_t before = sent.size();
        bridge.dispatch(msg.dump());
        return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
    }
    json downloadDone(const json& msg) {
        send(msg);
        EXPECT_TRUE(platform::settleWorkers(std::chrono::seconds(60)));
        return sent.empty() ? json() : sent.back();
    }
    fs::path handedOver() const { return temp.path / "config" / "Velmora_Cloud" / "ostatnia_chmura.e57"; }
    // The worker's cloud or a part of one (written under a name that starts with the cloud's).
    bool temporaryLeft() const {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(temp.path / "tmp" / "Velmora_Cloud", ec))
            if (entry.path().filename().string().rfind("import", 0) == 0) return true;
        return false;
    }

    model::ModelHost model;
    cloudui::CloudController controller;
    bridge::Bridge bridge;
    std::vector<json> sent;
    std::function<void(const json&)> onSent;
};

TEST_F(CloudPage, HandlersAnswerAsThePageExpects) {
    const json radom = pageFrame(kRadomInner).wgs;
    const struct {
        json msg;
        json reply;
    } cases[] = {
        {{{"type", "frameEstimate"}, {"bboxWgs84", {21.0, 51.0, 21.1}}},
         {{"type", "error"}, {"msg", "Nieprawidlowy bbox"}}},
        {{{"type", "download"}}, {{"type", "error"}, {"msg", "Nieprawidlowy bbox"}}},
        {{{"type", "setOrigin"}, {"lat", 51.4}}, {{"type", "error"}, {"msg", "Brak wspolrzednych srodka mapy"}}},
        {{{"type", "cancel"}}, {{"type", "cancelled"}}},
    };
    for (const auto& c : cases) EXPECT_EQ(send(c.msg), std::vector<json>{c.reply}) << c.msg;
    EXPECT_TRUE(send({{"type", "getInit"}}).empty());  // no georeference yet

    // The first answer uses 12 points/m2; the refinement with the index's largest density (6) follows.
    const auto first = send({{"type", "frameEstimate"}, {"bboxWgs84", radom}, {"detail", "full"}});
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0]["density"], 12.0);
    platform::settleWorkers(std::chrono::seconds(30));
    ASSERT_EQ(sent.back()["type"], "estimateDone");
    EXPECT_EQ(sent.back()["density"], 6.0);
    EXPECT_NEAR(sent.back()["points"].get<double>(), first[0]["points"].get<double>() / 2, 1.0);

    // Two estimates in a row: only the newer frame's refinement reaches the page (the coast: 2 points/m2).
    const std::size_t before = sent.size();
    send({{"type", "frameEstimate"}, {"bboxWgs84", radom}});
    send({{"type", "frameEstimate"}, {"bboxWgs84", pageFrame(sim::cloud::kHelCoast).wgs}});
    platform::settleWorkers(std::chrono::seconds(30));
    ASSERT_EQ(sent.size(), before + 3);
    EXPECT_EQ(sent.back()["density"], 2.0);

    // The origin from the map centre lands in the project; the page's start follows it.
    const auto set = send({{"type", "setOrigin"}, {"lat", 51.4}, {"lon", 21.15}});
    ASSERT_EQ(set.size(), 1u);
    host::GeoLocation geo;
    ASSERT_EQ(model.readGeoLocation(geo), host::kHostOk);
    EXPECT_EQ(geo.crsName, "EPSG:2178");
    EXPECT_EQ(set[0]["e"], geo.surveyEasting);
    EXPECT_EQ(model.reportLines().back().rfind("Velmora Cloud: ustawiono georeferencje projektu: E=", 0), 0u);
    const auto init = send({{"type", "getInit"}});
    ASSERT_EQ(init.size(), 1u);
    EXPECT_NEAR(init[0]["lon"].get<double>(), 21.15, 1e-7);

    // With the survey point in the frame's zone the cloud is written relative to it, and handed over.
    const json done = downloadDone({{"type", "download"}, {"bboxWgs84", radom}, {"detail", "lekki"}});
    EXPECT_EQ(done["ok"], true) << done;
    const std::string diag = testsupport::readFile(temp.path / "state" / "TERRAVOX" / "velmora_cloud_diag.txt");
    EXPECT_NE(diag.find("offE=" + platform::cformat("%.3f", geo.surveyEasting) +
                        " offN=" + platform::cformat("%.3f", geo.surveyNorthing)),
              std::string::npos)
        << diag;
    EXPECT_TRUE(fs::exists(handedOver()));
    EXPECT_FALSE(temporaryLeft());
    ASSERT_FALSE(model.alertsShown().empty());
    EXPECT_EQ(model.alertsShown().back().largeText, "Chmura punktow gotowa i zgrana z projektem.");
    EXPECT_EQ(model.alertsShown().back().smallText,
              "Zaimportuj ja: Plik > Interoperacyjnosc > Chmura punktow -> wskaz plik:\n" + handedOver().string());
}

TEST_F(CloudPage, CancelDuringTheThirdOfFiveSheetsWritesNothing) {
    const sim::cloud::LidarSheet& third = sim::cloud::lidarSheets()[6];
    const std::string host = "opendata.geoportal.gov.pl";
    sim::Fault slow;  // the third sheet comes slowly, so the cancel arrives while it downloads
    slow.host = host;
    slow.path = pathOf(third.url);
    slow.trickleMs = 40;
    sim.faults().add(slow);
    onSent = [this](const json& m) {
        if (m["type"] == "progress" && m.value("label", "").rfind("Kafel 3/5", 0) == 0) send({{"type", "cancel"}});
    };
    const json request{{"type", "download"}, {"bboxWgs84", pageFrame(sim::cloud::kSiedlceRow).wgs}};
    send(request);
    EXPECT_EQ(send(request),
              std::vector<json>{(json{{"type", "error"}, {"msg", "Trwa pobieranie danych - sprobuj za chwile"}})});
    ASSERT_TRUE(platform::settleWorkers(std::chrono::seconds(60)));
    const json done = sent.back();
    EXPECT_EQ(done, (json{{"type", "downloadDone"}, {"ok", false}, {"msg", "Anulowano."}}));
    EXPECT_TRUE(sim.log().matching(host, pathOf(sim::cloud::lidarSheets()[8].url)).empty());
    EXPECT_FALSE(fs::exists(handedOver()));
    EXPECT_FALSE(temporaryLeft());
    EXPECT_FALSE(controller.busy());
}

TEST_F(CloudPage, TooManyPointsEndWithTheLimitMessage) {
    controller.downloadOptions().pointLimit = 1000;
    const json done = downloadDone({{"type", "download"}, {"bboxWgs84", pageFrame(kRadomInner).wgs}});
    EXPECT_EQ(done["msg"], "Za duzo punktow - zmniejsz kadr lub obniz jakosc.");
    EXPECT_FALSE(fs::exists(handedOver()));
    EXPECT_FALSE(temporaryLeft());
}

// A sheet that answers 404, comes cut off or holds a damaged chunk: the cloud of the rest is handed over, and the
// answer and the alert name the sheet with its counts; the damaged chunk's garbage never reaches the cloud.
TEST_F(CloudPage, ACloudWithAHoleIsNeverHandedOverAsWhole) {
    for (const sim::cloud::SheetFault& c : sim::cloud::sheetFaults(sim::cloud::lidarSheets()[1])) {
        const std::string says = std::string(c.name) == "404"
                                     ? "pominieto 1 z 4 kafli LiDAR (7.124.12.21.2: nie pobrano"
                                     : "odczytano czesciowo 1 z 4 kafli LiDAR (7.124.12.21.2: ";
        SCOPED_TRACE(c.name);
        controller.webClient().options.cacheDir = temp.path / c.name;
        sim.faults().clear();
        sim.faults().add(c.fault);
        const json done =
            downloadDone({{"type", "download"}, {"bboxWgs84", pageFrame(kRadomInner).wgs}, {"detail", "full"}});
        EXPECT_EQ(done["ok"], true) << done;
        const std::string msg = done.value("msg", "");
        EXPECT_EQ(msg.rfind("Chmura zapisana NIEPELNA (", 0), 0u) << msg;
        EXPECT_NE(msg.find(says), std::string::npos) << msg;
        ASSERT_FALSE(model.alertsShown().empty());
        EXPECT_EQ(model.alertsShown().back().largeText,
                  "Chmura punktow gotowa, ale NIEPELNA - brakuje danych czesci kafli.");
        EXPECT_NE(model.alertsShown().back().smallText.find(says), std::string::npos);
        // Ground, roofs and trees of the block lie between 150 and 165 m.
        const std::string diag = testsupport::readFile(temp.path / "state" / "TERRAVOX" / "velmora_cloud_diag.txt");
        const std::size_t z = diag.find("Z bezwzgledne(npm) z[");
        ASSERT_NE(z, std::string::npos) << diag;
        const std::string range = diag.substr(z + 21, diag.find(']', z) - z - 21);
        EXPECT_LT(std::stod(range.substr(range.find("..") + 2)), 170.0) << range;
        EXPECT_FALSE(temporaryLeft());
    }
}

// The percentages of one download never run back, though the next sheet downloads while the last one is read;
// and another program's temporary files beside ours are left alone.
TEST_F(CloudPage, ProgressRunsForwardAndOtherProgramsFilesStay) {
    const fs::path foreignCloud = temp.path / "tmp" / "Velmora_Cloud" / "import.e57";
    const fs::path foreignPart = temp.path / "config" / "Velmora_Cloud" / "ostatnia_chmura.e57.part";
    for (const fs::path& p : {foreignCloud, foreignPart}) {
        fs::create_directories(p.parent_path());
        testsupport::writeFile(p, "another program's cloud");
    }
    const json request{{"type", "download"}, {"bboxWgs84", pageFrame(kRadomInner).wgs}, {"detail", "full"}};
    downloadDone(request);  // the simulator makes its sheets once; now each comes faster than the last one is read
    controller.webClient().options.cacheDir = temp.path / "again";
    std::vector<double> pct;
    onSent = [&pct](const json& m) {
        if (m["type"] == "progress") pct.push_back(m["pct"].get<double>());
    };
    const json done = downloadDone(request);
    EXPECT_EQ(done["ok"], true) << done;
    ASSERT_GT(pct.size(), 5u);
    for (std::size_t i = 1; i < pct.size(); ++i) EXPECT_GE(pct[i], pct[i - 1]) << "message " << i;
    for (const fs::path& p : {foreignCloud, foreignPart})
        EXPECT_EQ(testsupport::readFile(p), "another program's cloud") << p;
}

// The session as a process against the simulator; the file it hands over is read by the independent reader.
TEST_F(CloudPage, SessionWritesTheSheetsPointsRelativeToTheFrameCorner) {
    const fs::path tool = testsupport::sourceDir() / "tests" / "e57" / "independent";
    if (!fs::exists(tool / "node_modules" / "web-e57") || std::system("node --version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "independent E57 reader not installed (scripts/install-deps.sh installs it in " << tool << ")";
    const PageFrame frame = pageFrame(kRadomInner);
    // The fixture's environment (the simulator's address, TMPDIR) reaches the process.
    const testsupport::GeodraftRun run =
        testsupport::runGeodraft(temp.path, "session --palette cloud",
                                 {json{{"type", "download"}, {"bboxWgs84", frame.wgs}, {"detail", "full"}}.dump()}, 0);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const json done = run.last("downloadDone");
    EXPECT_EQ(done["ok"], true) << run.out;
    EXPECT_EQ(done["msg"], "Chmura zapisana: " + handedOver().string() +
                               " - zaimportuj: Plik > Interoperacyjnosc > Chmura punktow.");
    const std::string diag = testsupport::readFile(temp.path / "state" / "TERRAVOX" / "velmora_cloud_diag.txt");
    EXPECT_EQ(diag.rfind("=== Velmora Cloud \xE2\x80\x94 diagnostyka zgrania ===\n", 0), 0u) << diag;

    // Expected: every point of the four sheets inside the frame, in sheet and file order, in zone 7 relative to
    // the frame's corner there.
    const int zone = 2178;
    const geodesy::Bbox corner = geodesy::pl1992FrameToPl2000(frame.box, zone);
    std::vector<std::array<double, 4>> expected;
    for (std::size_t s = 0; s < 4; ++s) {
        const sim::cloud::LidarSheet& sheet = sim::cloud::lidarSheets()[s];
        for (const sim::cloud::LidarPoint& p : sim::cloud::sheetPoints(sheet)) {
            const geodesy::PlanarPoint q =
                sheet.epsg == 2180 ? geodesy::PlanarPoint{p.x, p.y} : geodesy::pl2000ToPl1992(p.x, p.y, sheet.epsg);
            if (!frame.box.contains(q)) continue;
            const geodesy::PlanarPoint z = geodesy::pl1992ToPl2000(q, zone);
            expected.push_back({z.x - corner.minE, z.y - corner.minN, p.z, static_cast<double>(p.red)});
        }
    }
    const std::string read = "cd '" + tool.string() + "' && node --experimental-wasm-modules check.mjs '" +
                             handedOver().string() + "' >'" + (temp / "xyz").string() + "' 2>'" +
                             (temp / "nerr").string() + "'";
    ASSERT_EQ(std::system(read.c_str()), 0) << testsupport::readFile(temp / "nerr");
    std::istringstream xyz(testsupport::readFile(temp / "xyz"));
    xyz.imbue(std::locale::classic());  // the reader prints decimal points whatever the process locale is
    std::size_t i = 0, far = 0;
    for (double x, y, z, r, g, b; xyz >> x >> y >> z >> r >> g >> b; ++i) {
        if (i >= expected.size()) continue;
        const auto& e = expected[i];
        if (std::fabs(x - e[0]) > 0.01 || std::fabs(y - e[1]) > 0.01 || std::fabs(z - e[2]) > 0.001 || r != e[3]) ++far;
    }
    EXPECT_EQ(i, expected.size());
    EXPECT_GT(expected.size(), 100000u);
    EXPECT_EQ(far, 0u);
}

}  // namespace
