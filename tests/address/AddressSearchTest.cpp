// "searchAddress" through the palette's bridge against the simulated search geocoder on loopback:
// found and not found places, the request sent, failing services and answers no geocoder should send.
#include <cmath>
#include <future>

#include "Scenarios.h"
#include "address/PaletteOnSim.h"
#include "platform/MessageLoop.h"

namespace importer {

namespace {

const std::string kSearchHost = "nominatim.openstreetmap.org";

nlohmann::json search(const std::string& query) { return nlohmann::json{{"type", "searchAddress"}, {"query", query}}; }

}  // namespace

class AddressSearch : public PaletteOnSim {
protected:
    void SetUp() override {
        PaletteOnSim::SetUp();
        sim::buildGeocoderScenario(sim.scenario());
    }
    // Serves `body` as the search answer from now on.
    void answerSearchWith(const std::string& body, const std::string& contentType = "application/json") {
        sim.scenario().addText(kSearchHost, "/search", body, contentType);
    }
    // The one reply to a search for `query` (pushed by the search worker, or answered at once).
    nlohmann::json reply(const std::string& query) {
        const std::size_t before = sent.size();
        send(search(query));
        settle();
        EXPECT_EQ(sent.size(), before + 1) << query;
        return sent.size() > before ? sent[before] : nlohmann::json();
    }
};

TEST_F(AddressSearch, FoundPlaceMovesTheMapAndTheRequestAsksForOnePolishPlace) {
    const nlohmann::json r = reply("Nowowiejska 15/19 Warszawa");
    EXPECT_EQ(r["type"], "addressResults");
    EXPECT_NEAR(r["lat"].get<double>(), 52.2189474, 1e-9);
    EXPECT_NEAR(r["lon"].get<double>(), 21.0121468, 1e-9);
    EXPECT_EQ(r["label"],
              "Wydział Elektroniki i Technik Informacyjnych, 15/19, Nowowiejska, Warszawa, "
              "województwo mazowieckie, 00-665, Polska");
    // The page gets the label with every non-ASCII character escaped.
    ASSERT_FALSE(raw.empty());
    EXPECT_NE(raw.back().find("Wydzia\\u0142"), std::string::npos) << raw.back();

    const auto log = requests(kSearchHost, "/search");
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].method, "GET");
    EXPECT_EQ(log[0].query, "format=json&limit=1&countrycodes=pl&q=Nowowiejska%2015%2F19%20Warszawa");
}

TEST_F(AddressSearch, NothingFoundAndEmptyQueriesAnswerWithoutCoordinates) {
    EXPECT_EQ(reply("Ulica Ktorej Nie Ma 999"), (nlohmann::json{{"type", "addressResults"}}));
    EXPECT_EQ(requests(kSearchHost).size(), 1u);

    // A missing query is answered without asking anyone.
    EXPECT_EQ(send(nlohmann::json{{"type", "searchAddress"}}),
              (std::vector<nlohmann::json>{nlohmann::json{{"type", "addressResults"}}}));
    EXPECT_EQ(requests(kSearchHost).size(), 1u);

    // A query that is not text is a malformed message.
    const auto replies = send(nlohmann::json{{"type", "searchAddress"}, {"query", 12}});
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0]["type"], "error");
    EXPECT_EQ(replies[0]["msg"].get<std::string>().rfind("Blad wewnetrzny: ", 0), 0u);
}

TEST_F(AddressSearch, FailingServiceIsNamedInTheError) {
    const nlohmann::json unavailable{{"type", "error"}, {"msg", "Wyszukiwarka adresow nie odpowiada (Nominatim)"}};
    // A server error is tried once more; answers with another 2xx status are not search results either.
    for (const std::vector<int>& statuses : {std::vector<int>{503, 503}, {429}, {204}}) {
        sim.log().clear();
        sim.faults().add(sim::Fault{.host = kSearchHost, .statuses = statuses});
        EXPECT_EQ(reply("Sukiennice"), unavailable) << statuses[0];
        EXPECT_EQ(requests(kSearchHost).size(), statuses.size()) << statuses[0];
    }
}

TEST_F(AddressSearch, HostileAnswersNeverCrashAndNeverInventAPlace) {
    const nlohmann::json none{{"type", "addressResults"}};
    const nlohmann::json unavailable{{"type", "error"}, {"msg", "Wyszukiwarka adresow nie odpowiada (Nominatim)"}};
    // Anything but a list of places is a geocoder that did not answer, even with status 200.
    for (const char* body : {"<!DOCTYPE html><html><body>Service Unavailable</body></html>", "",
                             "{\"error\":{\"code\":503,\"message\":\"overloaded\"}}", "{\"lat\":\"52\",\"lon\":\"21\"}",
                             "[{\"lat\":\"52.25\",\"lon\":\"21.0\"" /* cut off */,
                             "[{\"lat\":\"50\",\"lon\":\"20\",\"display_name\":\"Krak\xF3w\"}]" /* not UTF-8 */}) {
        answerSearchWith(body);
        EXPECT_EQ(reply("Krakow"), unavailable) << body;
    }
    // A list without a usable first place finds nothing.
    for (const char* body :
         {"[]", "[1,2,3]", "[null]", "[[\"52\",\"21\"]]", "[{\"display_name\":\"Bez wspolrzednych\"}]",
          "[{\"lat\":\"52.1\",\"display_name\":\"Bez dlugosci\"}]"}) {
        answerSearchWith(body);
        EXPECT_EQ(reply("Krakow"), none) << body;
    }
    // Numbers in place of texts are still positions; a missing or odd label is empty.
    answerSearchWith("[{\"lat\":52.5,\"lon\":16.25,\"display_name\":7}]");
    EXPECT_EQ(reply("Krakow"),
              (nlohmann::json{{"type", "addressResults"}, {"lat", 52.5}, {"lon", 16.25}, {"label", ""}}));
    answerSearchWith("[{\"lat\":\" 50.06 \",\"lon\":\"19.94\",\"display_name\":\"Krakow\"}]");
    EXPECT_EQ(reply("Krakow"),
              (nlohmann::json{{"type", "addressResults"}, {"lat", 50.06}, {"lon", 19.94}, {"label", "Krakow"}}));

    // Coordinates that are no numbers, or no place on Earth, fail as an error instead of moving the map.
    for (const char* body : {"[{\"lat\":\"abc\",\"lon\":\"21\"}]", "[{\"lat\":\"52,25\",\"lon\":\"21\"}]",
                             "[{\"lat\":\"1e999\",\"lon\":\"21\"}]", "[{\"lat\":\"52\",\"lon\":\"-1e308\"}]",
                             "[{\"lat\":1e300,\"lon\":21}]", "[{\"lat\":\"95\",\"lon\":\"21\"}]",
                             "[{\"lat\":\"nan\",\"lon\":\"21\"}]", "[{\"lat\":true,\"lon\":\"21\"}]"}) {
        answerSearchWith(body);
        EXPECT_EQ(reply("Krakow"), (nlohmann::json{{"type", "error"}, {"msg", "Blad wewnetrzny: stod"}})) << body;
    }

    // A very long answer is read whole; only its first result counts.
    std::string many = "[";
    for (int i = 0; i < 20000; ++i) many += "{\"lat\":\"49.5\",\"lon\":\"22.5\",\"display_name\":\"Miejsce\"},";
    many.back() = ']';
    answerSearchWith(many);
    EXPECT_EQ(reply("Krakow"),
              (nlohmann::json{{"type", "addressResults"}, {"lat", 49.5}, {"lon", 22.5}, {"label", "Miejsce"}}));
}

TEST_F(AddressSearch, RecordedGeocoderAnswerGivesItsPlace) {
    GD_REQUIRE_REALDATA("json/nominatim_search_warszawa_nowowiejska_old_format.json");
    answerSearchWith(
        testsupport::readFile(testsupport::realdata("json/nominatim_search_warszawa_nowowiejska_old_format.json")));
    const nlohmann::json r = reply("Nowowiejska 15/19");
    EXPECT_DOUBLE_EQ(r["lat"].get<double>(), 52.2189474);
    EXPECT_DOUBLE_EQ(r["lon"].get<double>(), 21.012146755762);
    const std::string label = r["label"];
    EXPECT_EQ(label.rfind("Wydział Elektroniki i Technik Informacyjnych, 15/19, Nowowiejska", 0), 0u) << label;

    GD_REQUIRE_REALDATA("json/nominatim_search_hisarya_addressdetails.json");
    answerSearchWith(testsupport::readFile(testsupport::realdata("json/nominatim_search_hisarya_addressdetails.json")));
    const nlohmann::json h = reply("Hisarya");
    EXPECT_DOUBLE_EQ(h["lat"].get<double>(), 42.5132789);
    EXPECT_EQ(h["label"], "Hisarya, Hisaria, Plovdiv, 4180, Bulgaria");
}

TEST_F(AddressSearch, SearchDuringAFetchLeavesTheFetchItsClient) {
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    controller->setFetchFunction([released](auto&&...) {
        released.wait();
        return FetchedData{};
    });
    send(nlohmann::json{{"type", "fetch"}, {"bboxWgs84", {19.93, 50.06, 19.94, 50.07}}, {"layers", {"dzialki"}}});
    ASSERT_TRUE(controller->busy());

    // The fetch worker owns the controller's client: the search must not touch its request history.
    send(search("Sukiennice"));
    while (received("addressResults").empty()) platform::MessageLoop::main().runOne(std::chrono::milliseconds(50));
    EXPECT_EQ(received("addressResults")[0].value("label", "").rfind("Sukiennice, 1/3", 0), 0u);
    EXPECT_TRUE(controller->webClient().lastRequestByHost.empty());
    release.set_value();
    settle();
}

TEST_F(AddressSearch, ASlowGeocoderNeverHoldsTheMainLoop) {
    sim.faults().add(sim::Fault{.host = kSearchHost, .delayMs = 500, .times = 1});
    EXPECT_TRUE(send(search("Sukiennice")).empty()) << "the handler returns before the geocoder answers";
    settle();
    ASSERT_EQ(received("addressResults").size(), 1u);
    EXPECT_EQ(received("addressResults")[0].value("label", "").rfind("Sukiennice, 1/3", 0), 0u);
}

}  // namespace importer
