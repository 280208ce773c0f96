// Land-use plans through a real "fetch" on the palette's bridge against the simulated planning register,
// municipal and national plan WMS and boundary service on loopback: act choice, the frame filter, layer
// choice, the national fallback, the register's three attempts and the warnings the user reads.
#include <algorithm>
#include <set>

#include "PlanningScenario.h"
#include "Scenarios.h"
#include "address/PaletteOnSim.h"
#include "geodesy/Crs.h"
#include "import/PlanningActs.h"

namespace importer {

namespace {

const std::string kRegisterHost = "rejestr-urbanistyczny.gov.pl";
const std::string kQueryPath = "/api/public/published/query";
const std::string kGeoportalHost = "mapy.geoportal.gov.pl";
const std::string kNationalPlansPath = "/wss/ext/KrajowaIntegracjaMiejscowychPlanowZagospodarowaniaPrzestrzennego";

std::string downloadPath(const std::string& act) { return "/api/public/published/" + act + "/download"; }

// Value of one query parameter of a logged request ("" when absent).
std::string param(const sim::LoggedRequest& r, const std::string& name) {
    for (const auto& [key, value] : sim::parseQuery(r.query))
        if (sim::equalsNoCase(key, name)) return value;
    return {};
}

std::vector<sim::LoggedRequest> getMaps(const std::vector<sim::LoggedRequest>& log) {
    std::vector<sim::LoggedRequest> out;
    for (const auto& r : log)
        if (sim::equalsNoCase(param(r, "request"), "GetMap")) out.push_back(r);
    return out;
}

}  // namespace

class PlanningFetch : public PaletteOnSim {
protected:
    void SetUp() override {
        PaletteOnSim::SetUp();
        sim::buildPlanningScenario(sim.scenario());
        // The register's pauses keep their proportions but not their length.
        planningRetryWaits().afterFirstMs = 60;
        planningRetryWaits().afterSecondMs = 150;
    }
    void TearDown() override {
        PaletteOnSim::TearDown();
        planningRetryWaits().afterFirstMs = 350;
        planningRetryWaits().afterSecondMs = 900;
    }

    // Fetches the layers for a square frame of 2 * half metres around a PL-1992 point and returns "fetchDone".
    nlohmann::json fetchAround(geodesy::PlanarPoint centre, double half, const std::vector<std::string>& layers) {
        const geodesy::LatLon sw = geodesy::pl1992ToWgs84(centre.x - half, centre.y - half);
        const geodesy::LatLon ne = geodesy::pl1992ToWgs84(centre.x + half, centre.y + half);
        const std::size_t before = received("fetchDone").size();
        send(nlohmann::json{{"type", "fetch"},
                            {"bboxWgs84", {sw.lon, sw.lat, ne.lon, ne.lat}},
                            {"layers", layers},
                            {"rasterScale", 2500}});
        settle();
        const auto done = received("fetchDone");
        EXPECT_EQ(done.size(), before + 1);
        return done.empty() ? nlohmann::json() : done.back();
    }
    nlohmann::json fetchGmina(const std::string& code, const std::vector<std::string>& layers) {
        return fetchAround(sim::planning::municipalityCentre(code), 300, layers);
    }
    const FetchedData& result() const { return controller->lastResult(); }
};

TEST_F(PlanningFetch, GeneralPlanInForceWinsOverALaterDraftAndOnlyZonesInTheFrameAreKept) {
    const nlohmann::json done = fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"});
    EXPECT_FALSE(done.contains("warning")) << done;
    // The 500 m zones meet at the municipality centre: four of them reach into the 600 m frame.
    ASSERT_EQ(result().features.size(), 4u);
    for (const gml::GisFeature& f : result().features) {
        EXPECT_EQ(f.type, formats::DataType::pog);
        EXPECT_EQ(f.props.at("akt"), sim::planning::kActInForce);
    }
    EXPECT_TRUE(result().rasters.empty());

    const auto queries = requests(kRegisterHost, kQueryPath);
    ASSERT_EQ(queries.size(), 1u);
    EXPECT_EQ(queries[0].body,
              R"j({"criteria":{"levelList":null,"parcelIdentifier":null,"planTypeList":["MUNICIPAL_GENERAL_PLAN",)j"
              R"j("LOCAL_SPATIAL_DEVELOPMENT_PLAN"],"planValidFrom":null,"planValidTo":null,"plansGroup":"ALL",)j"
              R"j("publishDateFrom":null,"publishDateTo":null,"publishedActVersions":"CURRENT","query":null,)j"
              R"j("statusList":[],"tercCodeList":["321602"]},"page":{"number":1,"size":10,)j"
              R"j("sort":{"direction":"desc","sortBy":"publishDate"}}})j");
    EXPECT_EQ(requests(kRegisterHost, downloadPath(sim::planning::kActInForce)).size(), 1u);
    EXPECT_EQ(requests(kRegisterHost).size(), 2u) << "neither the draft nor the local plan is downloaded";
}

TEST_F(PlanningFetch, AnActDeclaredInAnEightBitEncodingReadsAsTheSameText) {
    const auto zoneNames = [&] {
        fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"});
        std::multiset<std::string> names;
        for (const gml::GisFeature& f : result().features) names.insert(f.props.at("nazwa"));
        return names;
    };
    const std::multiset<std::string> utf8 = zoneNames();
    ASSERT_EQ(utf8.count("strefa wielofunkcyjna z zabudow\xC4\x85 mieszkaniow\xC4\x85 wielorodzinn\xC4\x85"), 1u);
    for (const char* encoding : {"windows-1250", "ISO-8859-2"}) {
        sim.faults().add(sim::Fault{
            .host = kRegisterHost, .path = downloadPath(sim::planning::kActInForce), .times = 1, .encoding = encoding});
        EXPECT_EQ(zoneNames(), utf8) << encoding;
    }
}

TEST_F(PlanningFetch, AFrameInsideOneZoneKeepsThatZone) {
    // An 80 m frame in the middle of one 500 m zone: no vertex of the zone in it, and the zone's anchor
    // (the mean of its five listed vertices) lies 50 m short of it. The frame still sits in that zone.
    const geodesy::PlanarPoint a = sim::planning::municipalityCentre(sim::planning::kGminaWithPlanWms);
    const nlohmann::json done = fetchAround(geodesy::PlanarPoint{a.x + 250, a.y + 250}, 40, {"pog"});
    EXPECT_FALSE(done.contains("warning")) << done;
    ASSERT_EQ(result().features.size(), 1u);
    EXPECT_EQ(result().features[0].props.at("akt"), sim::planning::kActInForce);
    EXPECT_EQ(result().features[0].props.at("oznaczenie"), "37SJ");
}

TEST_F(PlanningFetch, ZonesAwayFromTheFrameWarnAndTheNationalServiceDrawsMissingLocalPlans) {
    const nlohmann::json done = fetchGmina(sim::planning::kGminaWithoutPlanWms, {"pog", "mpzp"});
    EXPECT_EQ(done.value("warning", ""),
              "POG gminy 120106: akt jest, ale zadna strefa nie wpada w kadr. "
              "Brak MPZP dla gminy 120106: brak uslugi WMS w EZiU. MPZP z krajowej integracji (KIMPZP) jako rastr.");
    EXPECT_TRUE(result().features.empty());
    ASSERT_FALSE(result().rasters.empty());
    for (const RasterImage& r : result().rasters) EXPECT_EQ(r.type, formats::DataType::mpzp);

    const auto maps = getMaps(requests(kGeoportalHost, kNationalPlansPath));
    ASSERT_FALSE(maps.empty());
    for (const auto& m : maps) EXPECT_EQ(param(m, "layers"), "raster");
    EXPECT_EQ(requests(kRegisterHost, downloadPath(sim::planning::kActAway)).size(), 1u);
}

TEST_F(PlanningFetch, NoActAndNoNationalDrawingLeaveOnlyTheirOwnWarnings) {
    // The national service answers every request with an exception document instead of a picture.
    sim.faults().add(sim::Fault{.host = kGeoportalHost, .path = kNationalPlansPath, .exceptionDocument = true});
    const nlohmann::json done = fetchGmina(sim::planning::kGminaWithoutActs, {"mpzp", "pog"});
    EXPECT_EQ(done.value("warning", ""),
              "Brak POG dla gminy 121302 (Plan Ogolny jeszcze nieuchwalony w Rejestrze Urbanistycznym). "
              "Brak MPZP dla gminy 121302: brak uslugi WMS w EZiU.");
    EXPECT_TRUE(result().rasters.empty());
    EXPECT_FALSE(getMaps(requests(kGeoportalHost, kNationalPlansPath)).empty()) << "the national service was asked";
    EXPECT_EQ(requests(kRegisterHost).size(), 1u) << "no act, nothing to download";
}

TEST_F(PlanningFetch, MunicipalServiceDrawsItsDrawingLayerElseItsContentLayers) {
    nlohmann::json done = fetchGmina(sim::planning::kGminaWithPlanWms, {"mpzp"});
    EXPECT_EQ(done.value("warning", ""), "MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla 321602.");
    ASSERT_FALSE(result().rasters.empty());
    for (const RasterImage& r : result().rasters) {
        EXPECT_EQ(r.type, formats::DataType::mpzp);
        EXPECT_EQ(r.epsg, 2176) << "the service offers the frame's zone";
    }
    auto maps = getMaps(requests(sim::planning::kPlanWmsHost, sim::planning::kPlanWmsPath));
    ASSERT_FALSE(maps.empty());
    for (const auto& m : maps) {
        EXPECT_EQ(param(m, "layers"), "Rysunek_planu") << "only the drawing, its name as the service writes it";
        EXPECT_EQ(param(m, "SRS"), "EPSG:2176");
    }
    EXPECT_TRUE(requests(kGeoportalHost, kNationalPlansPath).empty());

    // The same municipality whose service has no drawing layer: the content layer, not the outlines.
    sim::addPlanWmsWithoutDrawingLayer(sim.scenario());
    sim.log().clear();
    done = fetchGmina(sim::planning::kGminaWithPlanWms, {"mpzp"});
    EXPECT_EQ(done.value("warning", ""), "MPZP: pobrano rysunek planu (rastr) z uslugi gminnej dla 321602.");
    maps = getMaps(requests(sim::planning::kPlanWmsHost, sim::planning::kPlanWmsPath));
    ASSERT_FALSE(maps.empty());
    for (const auto& m : maps) EXPECT_EQ(param(m, "layers"), "przeznaczenie_terenu");
}

TEST_F(PlanningFetch, FailingMunicipalServiceIsReported) {
    const std::string failed = "MPZP gminy 321602: usluga WMS nie odpowiada albo nie ma rysunku planu.";
    // Capabilities that are an exception document name no layers.
    sim.faults().add(sim::Fault{.host = sim::planning::kPlanWmsHost, .exceptionDocument = true, .times = 1});
    EXPECT_EQ(fetchGmina(sim::planning::kGminaWithPlanWms, {"mpzp"}).value("warning", ""), failed);
    EXPECT_TRUE(getMaps(requests(sim::planning::kPlanWmsHost)).empty());

    // Capabilities arrive but every picture fails.
    sim.log().clear();
    sim.faults().clear();
    sim.faults().add(
        sim::Fault{.host = sim::planning::kPlanWmsHost, .statuses = {200, 500, 500, 500, 500, 500, 500, 500, 500}});
    EXPECT_EQ(fetchGmina(sim::planning::kGminaWithPlanWms, {"mpzp"}).value("warning", ""), failed);
    EXPECT_FALSE(getMaps(requests(sim::planning::kPlanWmsHost)).empty());
    EXPECT_TRUE(result().rasters.empty());
    EXPECT_TRUE(requests(kGeoportalHost, kNationalPlansPath).empty()) << "the national service only stands in for a "
                                                                         "municipality without its own";
}

TEST_F(PlanningFetch, RegisterIsAskedUpToThreeTimesWithGrowingPauses) {
    sim.faults().add(sim::Fault{.host = kRegisterHost, .path = kQueryPath, .statuses = {503, 503}});
    EXPECT_FALSE(fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"}).contains("warning"));
    EXPECT_EQ(result().features.size(), 4u);
    auto queries = requests(kRegisterHost, kQueryPath);
    ASSERT_EQ(queries.size(), 3u);
    EXPECT_GE(queries[1].startMs - queries[0].startMs, 60);
    EXPECT_GE(queries[2].startMs - queries[1].startMs, 150);

    // Three failures: a register that did not answer (not a plan never adopted), and no fourth query.
    sim.log().clear();
    sim.faults().add(sim::Fault{.host = kRegisterHost, .path = kQueryPath, .statuses = {500, 502, 503, 200}});
    EXPECT_EQ(fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"}).value("warning", ""),
              "POG gminy 321602: Rejestr Urbanistyczny nie odpowiada - nie wiadomo, czy plan ogolny jest uchwalony.");
    EXPECT_EQ(requests(kRegisterHost, kQueryPath).size(), 3u);
    EXPECT_TRUE(result().features.empty());
    sim.faults().clear();

    // An empty success is no answer either.
    sim.log().clear();
    sim.faults().add(sim::Fault{.host = kRegisterHost, .path = kQueryPath, .emptyOk = true, .times = 2});
    EXPECT_FALSE(fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"}).contains("warning"));
    EXPECT_EQ(requests(kRegisterHost, kQueryPath).size(), 3u);

    // The act download is tried three times too (each try is one request and the client's one retry).
    sim.log().clear();
    sim.faults().add(sim::Fault{.host = kRegisterHost,
                                .path = downloadPath(sim::planning::kActInForce),
                                .statuses = {503, 503, 503, 503, 503, 503}});
    EXPECT_EQ(fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"}).value("warning", ""),
              "POG gminy 321602: nie udalo sie pobrac aktu z Rejestru Urbanistycznego - strefy pominiete.");
    EXPECT_EQ(requests(kRegisterHost, downloadPath(sim::planning::kActInForce)).size(), 6u);

    // An act that arrives as something else than GML is no act either: a failure, tried as often as one.
    sim.log().clear();
    sim.scenario().addText(kRegisterHost, downloadPath(sim::planning::kActInForce),
                           "{\"status\":500,\"error\":\"Internal Server Error\"}", "application/json");
    EXPECT_EQ(fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"}).value("warning", ""),
              "POG gminy 321602: nie udalo sie pobrac aktu z Rejestru Urbanistycznego - strefy pominiete.");
    EXPECT_EQ(requests(kRegisterHost, downloadPath(sim::planning::kActInForce)).size(), 3u);
}

TEST_F(PlanningFetch, FrameWithoutMunicipalitySkipsBothKinds) {
    const nlohmann::json done = fetchAround(geodesy::wgs84ToPl1992(52.23, 21.01), 300, {"pog", "mpzp"});
    EXPECT_EQ(done.value("warning", ""), "MPZP/POG pominiete: nie udalo sie ustalic gminy (TERYT) dla widoku.");
    EXPECT_TRUE(requests(kRegisterHost).empty());
}

TEST_F(PlanningFetch, HostileRegisterAnswersNeverCrash) {
    // What the reader makes of odd answers is checked on the reader; here: the ids it hands on to the download.
    const char* const answers[] = {
        "{\"publishedActs\": not json at all",
        "{\"publishedActs\":[{\"planType\":\"MUNICIPAL_GENERAL_PLAN\",\"publishedActId\":1e300,"
        "\"spatialPlanningActStatus\":7,\"publishDate\":null}]}",
        "{\"publishedActs\":[{\"planType\":\"MUNICIPAL_GENERAL_PLAN\",\"publishedActId\":\"../../x?y=1#z\"}]}",
    };
    for (const char* answer : answers) {
        sim.scenario().addText(kRegisterHost, kQueryPath, answer, "application/json", "POST");
        const nlohmann::json done = fetchGmina(sim::planning::kGminaWithPlanWms, {"pog"});
        const std::string warning = done.value("warning", "");
        EXPECT_EQ(warning.rfind("Brak POG dla gminy 321602", 0) == 0 || warning.rfind("POG gminy 321602", 0) == 0, true)
            << answer << " -> " << warning;
        EXPECT_TRUE(result().features.empty()) << answer;
    }
    // An id from the answer names one path segment, never another place on the server.
    EXPECT_EQ(requests(kRegisterHost, downloadPath("..%2F..%2Fx%3Fy%3D1%23z")).size(), 3u);
}

}  // namespace importer
