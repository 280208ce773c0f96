// "searchAddressSuggest" through the palette's bridge: the worker asks the simulated suggestion geocoder on
// loopback and pushes "addressSuggestions"; the label rule; failing services and hostile answers.
#include <set>

#include "Scenarios.h"
#include "address/PaletteOnSim.h"
#include "import/AddressSearch.h"

namespace importer {

namespace {

const std::string kSuggestHost = "photon.komoot.io";

nlohmann::json suggest(const std::string& query) {
    return nlohmann::json{{"type", "searchAddressSuggest"}, {"query", query}};
}

nlohmann::json item(double lat, double lon, const std::string& label) {
    return nlohmann::json{{"lat", lat}, {"lon", lon}, {"label", label}};
}

}  // namespace

class AddressSuggest : public PaletteOnSim {
protected:
    void SetUp() override {
        PaletteOnSim::SetUp();
        sim::buildGeocoderScenario(sim.scenario());
    }
    void answerWith(const std::string& body) {
        sim.scenario().addText(kSuggestHost, "/api/", body, "application/json");
    }
    // The items pushed for one query (the handler itself answers nothing).
    nlohmann::json itemsFor(const std::string& query) {
        const std::size_t before = received("addressSuggestions").size();
        EXPECT_TRUE(send(suggest(query)).empty()) << query;
        settle();
        const auto events = received("addressSuggestions");
        EXPECT_EQ(events.size(), before + 1) << query;
        if (events.size() != before + 1) return nlohmann::json();
        EXPECT_EQ(events.back()["query"], query);
        return events.back()["items"];
    }
};

TEST_F(AddressSuggest, SuggestionsArriveAsAnEventWithLabelsFromTheAddressParts) {
    const nlohmann::json items = itemsFor("Połczyn");
    EXPECT_EQ(items, nlohmann::json::array({
                         item(53.7636, 16.0961, "Połczyn-Zdrój, powiat świdwiński"),
                         item(53.766012, 16.089035, "Kołobrzeska, Połczyn-Zdrój, powiat świdwiński"),
                     }));
    const auto log = requests(kSuggestHost, "/api/");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].query, "q=Po%C5%82czyn&limit=5&bbox=14.1,49.0,24.2,54.9");
}

TEST_F(AddressSuggest, ShortQueriesAskNobodyAndBytesCountNotLetters) {
    EXPECT_TRUE(send(nlohmann::json{{"type", "searchAddressSuggest"}}).empty());
    settle();
    EXPECT_TRUE(received("addressSuggestions").empty());
    // Two ASCII letters are too short: no event and no request.
    EXPECT_TRUE(send(suggest("Br")).empty());
    settle();
    EXPECT_TRUE(received("addressSuggestions").empty());
    EXPECT_TRUE(requests(kSuggestHost).empty());

    // Two Polish letters are four bytes: asked.
    EXPECT_EQ(itemsFor("Łó"), nlohmann::json::array());
    EXPECT_EQ(requests(kSuggestHost).size(), 1u);
}

TEST_F(AddressSuggest, SeveralQueriesInFlightEachGetTheirOwnEvent) {
    for (const char* q : {"Kra", "Krak", "Krakó", "Kraków"}) EXPECT_TRUE(send(suggest(q)).empty());
    settle();
    const auto events = received("addressSuggestions");
    ASSERT_EQ(events.size(), 4u);
    std::set<std::string> queries;
    for (const nlohmann::json& e : events) {
        queries.insert(e["query"].get<std::string>());
        EXPECT_EQ(e["items"].size(), 1u) << e;
    }
    EXPECT_EQ(queries, (std::set<std::string>{"Kra", "Krak", "Krakó", "Kraków"}));
}

TEST_F(AddressSuggest, FailuresStillAnswerWithAnEmptyList) {
    sim.faults().add(sim::Fault{.host = kSuggestHost, .statuses = {503}});
    EXPECT_EQ(itemsFor("Brzeszcze"), nlohmann::json::array());
    EXPECT_EQ(requests(kSuggestHost).size(), 1u) << "suggestions are not retried";

    // Nothing listens any more.
    answerWith("{}");
    sim.stop();
    EXPECT_EQ(itemsFor("Brzeszcze"), nlohmann::json::array());
}

TEST_F(AddressSuggest, HostileFeaturesAreLeftOutWithoutAffectingTheOthers) {
    answerWith(R"j({"features":[
        {"properties":{"name":"Bez geometrii"}},
        {"geometry":null,"properties":{"name":"Geometria null"}},
        {"geometry":{"type":"Point","coordinates":[16.1]},"properties":{"name":"Jedna wspolrzedna"}},
        {"geometry":{"type":"Point","coordinates":"16,53"},"properties":{"name":"Tekst"}},
        {"geometry":{"type":"Point","coordinates":["16.1","53.7"]},"properties":{"name":"Liczby jako tekst"}},
        {"geometry":{"type":"Point","coordinates":[1e300,53.7]},"properties":{"name":"Poza Ziemia"}},
        {"geometry":{"type":"Point","coordinates":[16.1,53.7]},"properties":{"country":"Polska"}},
        {"geometry":{"type":"Point","coordinates":[16.1,53.7]}},
        {"geometry":{"type":"Point","coordinates":[16.1,53.7]},"properties":{"name":5,"city":["x"],"county":"powiat"}},
        "not a feature", 7, null,
        {"geometry":{"type":"Point","coordinates":[16.1,53.7,120.5]},"properties":{"street":"Dluga"}},
        {"geometry":{"type":"Point","coordinates":[18,54]},"properties":{"name":"Gdynia","housenumber":"","street":""}}
    ]})j");
    EXPECT_EQ(itemsFor("cokolwiek"),
              nlohmann::json::array({item(53.7, 16.1, "powiat"), item(53.7, 16.1, "Dluga"), item(54, 18, "Gdynia")}));

    for (const char* body : {"", "not json", "[]", "{\"features\":{}}", "{\"features\":null}", "{\"type\":\"x\"}",
                             "{\"features\":[{\"geometry\":{\"coordinates\":[1,2]},\"properties\":{\"name\":\"cut"}) {
        answerWith(body);
        EXPECT_EQ(itemsFor("cokolwiek"), nlohmann::json::array()) << body;
    }
}

TEST_F(AddressSuggest, RecordedSuggestionAnswerGivesLabelsOfItsFeatures) {
    GD_REQUIRE_REALDATA("json/photon_readme_example_berlin.json");
    answerWith(testsupport::readFile(testsupport::realdata("json/photon_readme_example_berlin.json")));
    EXPECT_EQ(
        itemsFor("Berlin"),
        nlohmann::json::array({item(52.5170365, 13.3888599, "Berlin"),
                               item(52.51467945, 13.239514674078611, "Berlin Olympic Stadium, Olympischer Platz 3")}));
}

TEST(AddressLabel, PartsJoinInTheirOrder) {
    const std::vector<std::pair<nlohmann::json, std::string>> rows{
        {{{"city", "Gniezno"}, {"county", "powiat gnieźnieński"}}, "Gniezno, powiat gnieźnieński"},
        {{{"street", "Długa"}, {"city", "Gdańsk"}}, "Długa, Gdańsk"},
        {{{"housenumber", "7a"}, {"city", "Gdańsk"}}, "7a, Gdańsk"},
        {{{"name", "Dwór Artusa"},
          {"street", "Długi Targ"},
          {"housenumber", "43"},
          {"city", "Gdańsk"},
          {"county", ""},
          {"state", "pomorskie"}},
         "Dwór Artusa, Długi Targ 43, Gdańsk"},
        {{{"state", "pomorskie"}, {"country", "Polska"}}, ""},
        {nlohmann::json::array(), ""},
        {nlohmann::json(), ""}};
    for (const auto& [parts, label] : rows) EXPECT_EQ(addressSuggestionLabel(parts), label) << parts;
}

}  // namespace importer
