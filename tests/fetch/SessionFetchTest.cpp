// End to end: "fetch" through the real geodraft session program against the Polish scenario on a loopback
// socket: counts, preview, warnings, progress labels and report lines as the page and the user see them.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <sstream>

#include <nlohmann/json.hpp>

#include "FetchFixture.h"
#include "WfsService.h"
#include "net/ServiceRegistry.h"
#include "platform/Numbers.h"

namespace importer {

using namespace sim::poland;

namespace {

struct FetchRun {
    int exitCode = -1;
    std::vector<nlohmann::json> messages;  // every line the page received
    std::string err;                       // report lines ("report: ...") and diagnostics

    // The one "fetchDone" message (null when there is none).
    nlohmann::json done() const {
        nlohmann::json found;
        for (const nlohmann::json& m : messages)
            if (m.value("type", "") == "fetchDone") found = m;
        return found;
    }
    bool hasLabel(const std::string& label) const {
        for (const nlohmann::json& m : messages)
            if (m.value("type", "") == "progress" && m.value("label", "") == label) return true;
        return false;
    }
};

class SessionFetch : public FetchSim {
protected:
    // One fetch message for the place's frame, then the session's end (which waits for the worker).
    FetchRun fetchIn(const std::vector<double>& frame, const std::vector<std::string>& layers, int rasterScale = 1000) {
        const nlohmann::json fetch{
            {"type", "fetch"}, {"bboxWgs84", frame}, {"layers", layers}, {"rasterScale", rasterScale}};
        return run({fetch.dump(), "#wait"});
    }
    FetchRun fetchAt(const Place& place, const std::vector<std::string>& layers) {
        return fetchIn(frameWgs84(place, 300, 300), layers);
    }

    FetchRun run(const std::vector<std::string>& input) {
        const auto dir = temp.path / platform::cformat("run%d", runs++);
        std::string text;
        for (const auto& line : input) text += line + "\n";
        testsupport::writeFile(dir / "input.txt", text);
        // A private cache per run: every answer comes from the simulator, none from an earlier test.
        const std::string command = "env XDG_CONFIG_HOME='" + (dir / "config").string() + "' XDG_STATE_HOME='" +
                                    (dir / "state").string() + "' XDG_CACHE_HOME='" + (dir / "cache").string() +
                                    "' GEODRAFT_PACING_MS=5 '" + (testsupport::binaryDir() / "app/geodraft").string() +
                                    "' session < '" + (dir / "input.txt").string() + "' > '" +
                                    (dir / "out.txt").string() + "' 2> '" + (dir / "err.txt").string() + "'";
        const int status = std::system(command.c_str());
        FetchRun r;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::istringstream out(testsupport::readFile(dir / "out.txt"));
        for (std::string line; std::getline(out, line);) r.messages.push_back(nlohmann::json::parse(line));
        r.err = testsupport::readFile(dir / "err.txt");
        return r;
    }

    int runs = 0;
};

TEST_F(SessionFetch, AllTwoDimensionalLayersAtOnceInWarsaw) {
    const FetchRun r = fetchAt(kWarszawa, {"dzialki", "budynki", "gesut", "bdot500", "rastr"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json done = r.done();
    ASSERT_TRUE(done.is_object()) << r.err;
    EXPECT_EQ(
        done["counts"],
        (nlohmann::json{
            {"dzialki", kBlockParcels}, {"budynki", kBlockBuildings}, {"gesut (rastr)", 1}, {"rastry (rastr)", 1}}));
    EXPECT_EQ(done["warning"],
              "GESUT: powiat nie publikuje uslugi w EZiU. GESUT z krajowej integracji (KIUT) jako "
              "rastr. BDOT500: powiat nie publikuje uslugi w EZiU.");
    const nlohmann::json preview = nlohmann::json::parse(done["geojson"].get<std::string>());
    EXPECT_EQ(preview["features"].size(), std::size_t(kBlockParcels + kBlockBuildings));

    EXPECT_TRUE(r.hasLabel("Import: dzialki"));
    EXPECT_TRUE(r.hasLabel("Import: budynki"));
    EXPECT_FALSE(r.hasLabel("Import: budynki (BDOT10k)"));
    EXPECT_NE(r.err.find("report: TERRAVOX EGiB [TERYT 146501] https://wms2.um.warszawa.pl/geoserver/wfs/wms | "
                         "tn.dzialki='egib:dzialki' -> 48 | tn.budynki='egib:budynki' -> 44\n"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("report: TERRAVOX: rastr gesut: kadr "), std::string::npos);
    EXPECT_NE(r.err.find("report: TERRAVOX: rastr rastry: kadr "), std::string::npos);
    EXPECT_NE(r.err.find("report: TERRAVOX: GESUT: powiat nie publikuje"), std::string::npos);
}

TEST_F(SessionFetch, EachLayerAloneInZamosc) {
    struct Case {
        const char* key;
        nlohmann::json counts;
    };
    const std::vector<Case> cases = {
        {"dzialki", nlohmann::json{{"dzialki", kBlockParcels}}},
        {"budynki", nlohmann::json{{"budynki", kBlockBuildings}}},
        {"gesut", nlohmann::json{{"gesut", kPipeLayers * kPipesPerLayer}}},
        {"bdot500", nlohmann::json{{"bdot500 (rastr)", 1}}},
        {"rastr", nlohmann::json{{"rastry (rastr)", 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        const FetchRun r = fetchAt(kZamosc, {c.key});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        const nlohmann::json done = r.done();
        ASSERT_TRUE(done.is_object()) << r.err;
        EXPECT_EQ(done["counts"], c.counts);
        EXPECT_FALSE(done.contains("warning")) << done.dump();
        EXPECT_EQ(done.contains("geojson"), c.counts.begin().key().find("rastr") == std::string::npos);
    }
}

TEST_F(SessionFetch, CadastreAndUtilityFallbacks) {
    // One fetch; what the page was told must be these counts and this warning.
    const auto expectDone = [&](const char* name, const std::vector<double>& frame,
                                const std::vector<std::string>& layers, const nlohmann::json& counts,
                                const std::string& warning) {
        SCOPED_TRACE(name);
        const FetchRun r = fetchIn(frame, layers);
        const nlohmann::json done = r.done();
        EXPECT_TRUE(done.is_object()) << r.err;
        if (!done.is_object()) return r;
        if (!counts.is_null()) {
            EXPECT_EQ(done["counts"], counts);
        }
        EXPECT_EQ(done["warning"], warning);
        return r;
    };
    const std::string bdot10k = "Budynki z BDOT10k NoweBudynki (fallback - tylko nowe obiekty).";
    const FetchRun zabrze = expectDone(
        "buildings not filtered", frameWgs84(kZabrze, 300, 300), {"dzialki", "budynki"},
        {{"dzialki", kBlockParcels}, {"budynki", kNewBuildingsPerPlace}},
        "Powiatowa usluga zwraca dzialki, ale nie filtruje budynkow po obszarze (blad konfiguracji serwera powiatu - "
        "np. Zabrze). " +
            bdot10k);
    EXPECT_TRUE(zabrze.hasLabel("Import: budynki (BDOT10k)"));
    expectDone("county WFS silent", frameWgs84(kWroclaw, 300, 300), {"budynki"}, {{"budynki", kNewBuildingsPerPlace}},
               "Powiatowa usluga WFS EGiB nie odpowiada. " + bdot10k);
    // Central Europe west of Poland: no municipality, nothing fetched.
    expectDone("outside Poland", {12.0, 51.0, 12.004, 51.003}, {"dzialki"}, nlohmann::json::object(),
               "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru.");
    const FetchRun zary =
        expectDone("WFS without pipes", frameWgs84(kZary, 300, 300), {"gesut"}, {{"gesut (rastr)", 1}},
                   "GESUT jako rastr (WMS powiatowy) - brak WFS lub brak przewodow w WFS.");
    EXPECT_FALSE(zary.hasLabel("GESUT (WFS)"));  // the WFS has no pipe layer to fetch
    expectDone("no utility service", frameWgs84(kZabrze, 300, 300), {"gesut"}, {{"gesut (rastr)", 1}},
               "GESUT: powiat nie publikuje uslugi w EZiU. GESUT z krajowej integracji (KIUT) jako rastr.");

    // A municipality whose county has no land-register service in the registry.
    auto prg = std::make_shared<sim::FeatureStore>();
    const geodesy::PlanarPoint c = centre1992(kZamosc);
    const std::vector<geodesy::PlanarPoint> ring = {{c.x - 500, c.y - 500},
                                                    {c.x + 500, c.y - 500},
                                                    {c.x + 500, c.y + 500},
                                                    {c.x - 500, c.y + 500},
                                                    {c.x - 500, c.y - 500}};
    prg->add("ms:A03_Granice_gmin", {"A03.1", {ring}, {}, {}, {{"JPT_KOD_JE", "3299011"}}});
    const std::string prgUrl = net::serviceEndpoints().prgWfs();
    sim.scenario().addWfs(hostOf(prgUrl), pathOf(prgUrl), std::make_shared<sim::WfsService>(prg));
    expectDone("county without a service", frameWgs84(kZamosc, 300, 300), {"dzialki"}, nullptr,
               "Powiat (TERYT 3299) nie publikuje WFS EGiB w EZiU. Brak dzialek dla tego obszaru.");
}

TEST_F(SessionFetch, BrokenAnswersEndAsNotesAndTheOtherLayersArrive) {
    // The boundary service cuts its answers off, the orthophoto answers with exceptions: the county layers
    // cannot be found, but the fetch ends normally with every note in order.
    const std::string prg = net::serviceEndpoints().prgWfs();
    sim.faults().add(faultOn(prg, {.truncateAfter = 120}));
    const std::string ortho = net::serviceEndpoints().orthophotoWms();
    sim.faults().add(faultOn(ortho, {.exceptionDocument = true}));
    const FetchRun r = fetchAt(kZamosc, {"dzialki", "budynki", "gesut", "bdot500", "rastr"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const nlohmann::json done = r.done();
    ASSERT_TRUE(done.is_object()) << r.err;
    EXPECT_EQ(done["counts"], (nlohmann::json{{"gesut (rastr)", 1}}));
    EXPECT_EQ(done["warning"],
              "Nie udalo sie ustalic powiatu dla widoku. Brak dzialek dla tego obszaru. GESUT: powiat nie publikuje "
              "uslugi w EZiU. GESUT z krajowej integracji (KIUT) jako rastr. BDOT500: powiat nie publikuje uslugi w "
              "EZiU. Ortofotomapa WMS nie odpowiada - rastr pominiety.");
}

TEST_F(SessionFetch, SecondFetchNearbyReusesTheMunicipality) {
    const nlohmann::json fetch{
        {"type", "fetch"}, {"bboxWgs84", frameWgs84(kZamosc, 300, 300)}, {"layers", {"dzialki"}}};
    const FetchRun r = run({fetch.dump(), "#wait", fetch.dump(), "#wait"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    int dones = 0;
    for (const nlohmann::json& m : r.messages) {
        if (m.value("type", "") != "fetchDone") continue;
        ++dones;
        EXPECT_EQ(m["counts"], (nlohmann::json{{"dzialki", kBlockParcels}}));
    }
    EXPECT_EQ(dones, 2);
    std::size_t lookups = 0;
    for (const sim::LoggedRequest& q : requestsTo(net::serviceEndpoints().prgWfs()))
        lookups += q.query.find("GetFeature") != std::string::npos ? 1 : 0;
    EXPECT_EQ(lookups, 1u);
}

}  // namespace

}  // namespace importer
