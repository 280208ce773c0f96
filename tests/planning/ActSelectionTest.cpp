// The register's answers read into acts, the choice among several acts and versions, the query body,
// the frame test of plan zones and the choice of local-plan layers from capabilities.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "import/PlanningActs.h"

namespace importer {

namespace {

PlanningAct act(const std::string& id, const std::string& type, const std::string& status, const std::string& date) {
    PlanningAct a;
    a.publishedActId = id;
    a.planType = type;
    a.spatialPlanningActStatus = status;
    a.publishDate = date;
    return a;
}

std::string chosen(const std::vector<PlanningAct>& acts, const std::string& type) {
    const auto a = selectAct(acts, type);
    return a ? a->publishedActId : std::string("none");
}

std::string capabilities(const std::vector<std::string>& names) {
    std::string doc = "<WMS_Capabilities><Service><Name>WMS</Name></Service><Capability><Layer><Name>default</Name>";
    for (const auto& n : names) doc += "<Layer queryable=\"1\"><Name>" + n + "</Name><Title>t</Title></Layer>";
    return doc + "</Layer></Capability></WMS_Capabilities>";
}

}  // namespace

TEST(ActSelection, StatusPreferenceComesBeforeDateAndTheLatestWinsWithinIt) {
    const std::string general = kGeneralPlanType;
    const std::vector<PlanningAct> acts = {
        act("1", general, "prawnie wiążący lub realizowany", "2025-01-10"),
        act("2", general, "w opracowaniu", "2026-09-03"),
        act("3", kLocalPlanType, "prawnie wiążący lub realizowany", "2026-12-01"),
        act("4", general, "prawnie wiążący lub realizowany", "2025-06-30"),
        act("5", general, "prawnie wiążący lub realizowany", "2025-06-30"),
    };
    EXPECT_EQ(chosen(acts, general), "4") << "in force beats a later draft; of equal dates the first";
    EXPECT_EQ(chosen(acts, kLocalPlanType), "3");
    EXPECT_EQ(chosen(acts, ""), "3") << "an empty type takes every act";
    EXPECT_EQ(chosen(acts, "REGIONAL_PLAN"), "none");

    // Being adopted before being drafted before anything else.
    EXPECT_EQ(
        chosen({act("1", general, "w opracowaniu", "2026-01-01"),
                act("2", general, "w trakcie przyjmowania", "2020-01-01"), act("3", general, "uchylony", "2027-01-01")},
               general),
        "2");
    EXPECT_EQ(chosen({act("1", general, "uchylony", "2026-01-01"), act("2", general, "w opracowaniu", "2020-01-01")},
                     general),
              "2");
    EXPECT_EQ(chosen({act("1", general, "uchylony", "2026-01-01"), act("2", general, "", "2027-01-01")}, general), "2");
}

TEST(ActSelection, RegisterAnswersAreReadWhateverTheyHold) {
    const auto acts = parsePublishedActs(
        R"j({"publishedActs":[
            {"publishedActId":1248,"planType":"MUNICIPAL_GENERAL_PLAN","planTypeDescription":"Plan ogólny gminy",
             "title":"Uchwała","spatialPlanningActStatus":"prawnie wiążący lub realizowany","publishDate":"2026-09-03",
             "validFrom":"2026-09-04","validTo":null,"commune":"Gmina","district":"Powiat","tercCode":"3216024"},
            {"publishedActId":12.9},{"publishedActId":-3.7},{"publishedActId":-0.4},
            {"publishedActId":18446744073709551615},{"publishedActId":-9223372036854775808},
            {"publishedActId":1e300},{"publishedActId":"A-17/2025"},{"publishedActId":null},{"publishedActId":true},
            {"title":7,"planType":["x"],"publishDate":{"d":1}},
            1, "tekst", null, [1,2]
        ]})j");
    ASSERT_EQ(acts.size(), 11u);
    EXPECT_EQ(acts[0].title, "Uchwała");
    EXPECT_EQ(acts[0].tercCode, "3216024");
    // Fractions are cut towards zero, the 64-bit extremes and texts kept as they are; null and true give none.
    const std::pair<std::size_t, const char*> ids[] = {
        {0, "1248"},      {1, "12"}, {2, "-3"}, {3, "0"}, {4, "18446744073709551615"}, {5, "-9223372036854775808"},
        {7, "A-17/2025"}, {8, ""},   {9, ""}};
    for (const auto& [i, id] : ids) EXPECT_EQ(acts[i].publishedActId, id) << i;
    EXPECT_EQ(acts[6].publishedActId.size(), 301u) << "a huge id keeps its digits instead of overflowing";
    EXPECT_EQ(acts[6].publishedActId.rfind("1000000000000000", 0), 0u);
    EXPECT_EQ(acts[10].planType, "");

    for (const char* hostile : {"", "not json", "[]", "{}", "{\"publishedActs\":null}", "{\"publishedActs\":{}}",
                                "{\"publishedActs\":[", "\xFF\xFE{\"publishedActs\":[]}"})
        EXPECT_TRUE(parsePublishedActs(hostile).empty()) << hostile;

    // Nesting far deeper than any answer neither overflows the stack nor yields acts.
    const std::string deep = "{\"publishedActs\":" + std::string(200000, '[') + std::string(200000, ']') + "}";
    EXPECT_TRUE(parsePublishedActs(deep).empty());
}

TEST(ActSelection, QueryBodyNamesTheMunicipalityOrNothing) {
    // The whole body is checked where the fetch sends it; without a code no municipality is named.
    EXPECT_NE(buildActQuery("", "").find(R"j("tercCodeList":null)j"), std::string::npos);
    const std::string withParcel = buildActQuery("146501_1.0001.12/3", "146501");
    EXPECT_NE(withParcel.find(R"j("parcelIdentifier":"146501_1.0001.12/3")j"), std::string::npos) << withParcel;
    EXPECT_NE(withParcel.find(R"j("tercCodeList":["146501"])j"), std::string::npos) << withParcel;
    // A code with quotes or broken bytes still gives well-formed JSON.
    const std::string odd = buildActQuery("", "12\"}\xC3");
    EXPECT_NE(odd.find("\"tercCodeList\":[\"12\\\"}\xEF\xBF\xBD\"]"), std::string::npos) << odd;
}

TEST(PlanZones, AZoneCountsWhenItsAnchorOrAnOuterVertexLiesInTheFrame) {
    using Ring = decltype(gml::GisPolygon::outer);
    auto zone = [](Ring outer, std::optional<geodesy::PlanarPoint> anchor, std::vector<Ring> holes = {}) {
        gml::GisFeature f;
        f.polygons.push_back(gml::GisPolygon{std::move(outer), std::move(holes)});
        if (anchor) f.anchor = *anchor, f.hasAnchor = true;
        return f;
    };
    const geodesy::Bbox frame{100, 100, 200, 200};
    EXPECT_TRUE(planZoneInFrame(zone({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, std::nullopt), frame))
        << "a corner on the frame's edge";
    // A zone covering the whole frame is checked on a fetch; one crossing it between vertices outside it here.
    const Ring big{{0, 0}, {300, 0}, {300, 300}, {0, 300}};
    EXPECT_TRUE(
        planZoneInFrame(zone({{0, 140}, {300, 140}, {300, 160}, {0, 160}}, geodesy::PlanarPoint{0, 150}), frame))
        << "crossing the frame between vertices outside it";

    // A frame wholly inside a zone's hole is not in the zone; one reaching across the hole's edge is.
    const gml::GisFeature ring =
        zone(big, geodesy::PlanarPoint{150, 20}, {{{50, 50}, {250, 50}, {250, 250}, {50, 250}}});
    EXPECT_FALSE(planZoneInFrame(ring, frame));
    EXPECT_TRUE(planZoneInFrame(ring, geodesy::Bbox{30, 100, 130, 200}));
    EXPECT_FALSE(
        planZoneInFrame(zone({{300, 300}, {400, 300}, {400, 400}, {300, 400}}, geodesy::PlanarPoint{350, 350}), frame));

    gml::GisFeature line;
    line.lines.push_back({{150, 150}, {160, 160}});
    EXPECT_FALSE(planZoneInFrame(line, frame)) << "lines are not tested";
    gml::GisFeature noAnchor;
    noAnchor.anchor = {150, 150};  // an anchor never set is no position
    EXPECT_FALSE(planZoneInFrame(noAnchor, frame));
}

TEST(LocalPlanLayers, DrawingLayersElseContentLayersElseAll) {
    EXPECT_EQ(chooseLocalPlanLayers(capabilities({"granice_planow", "MPZP_Rysunek", "przeznaczenie", "rysunki_zmian"})),
              "MPZP_Rysunek,rysunki_zmian");
    EXPECT_EQ(chooseLocalPlanLayers(capabilities({"Granice", "ZASIEG", "obrysy", "zbiorcza", "AktPlanowania.MPZP",
                                                  "app.RysunkiAktuPlanowania.MPZP", "plany001"})),
              "app.RysunkiAktuPlanowania.MPZP");
    EXPECT_EQ(chooseLocalPlanLayers(capabilities({"Granice", "ZASIEG", "plany001", "plany001", "Tereny MPZP"})),
              "plany001");
    EXPECT_EQ(chooseLocalPlanLayers(capabilities({"granice_mpzp", "zasieg_opracowania"})),
              "granice_mpzp,zasieg_opracowania");
    EXPECT_EQ(chooseLocalPlanLayers(capabilities({})), "");
    EXPECT_EQ(chooseLocalPlanLayers("<ServiceExceptionReport><ServiceException>blad</ServiceException>"), "");
}

}  // namespace importer
