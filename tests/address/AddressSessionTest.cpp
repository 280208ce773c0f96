// Address search in the headless palette process (`geodraft session`), its requests routed to the simulated
// geocoders on loopback: the search answer comes at once, the suggestions after the worker is done.
#include <gtest/gtest.h>

#include "Scenarios.h"
#include "SimServer.h"
#include "address/SessionRun.h"

namespace importer {

TEST(AddressSession, SearchAndSuggestionsInTheHeadlessPalette) {
    sim::SimServer sim;
    sim::buildGeocoderScenario(sim.scenario());
    ASSERT_TRUE(sim.start());
    testsupport::TempDir dir;
    const SessionRun run = runSession(sim.baseUrl(), dir.path,
                                      "{\"type\":\"searchAddress\",\"query\":\"Sukiennice Krak\xC3\xB3w\"}\n"
                                      "#wait\n"
                                      "{\"type\":\"searchAddressSuggest\",\"query\":\"Br\"}\n"
                                      "{\"type\":\"searchAddressSuggest\",\"query\":\"Brzeszcze\"}\n"
                                      "#wait\n"
                                      "{\"type\":\"searchAddress\",\"query\":\"\"}\n");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<nlohmann::json>& out = run.messages;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0]["type"], "addressResults");
    EXPECT_EQ(out[0]["label"], "Sukiennice, 1/3, Rynek Główny, Kraków, województwo małopolskie, 31-042, Polska");
    EXPECT_EQ(
        out[1],
        (nlohmann::json{{"type", "addressSuggestions"},
                        {"query", "Brzeszcze"},
                        {"items", {{{"label", "Brzeszcze, powiat oświęcimski"}, {"lat", 49.9833}, {"lon", 19.15}}}}}));
    EXPECT_EQ(out[2], (nlohmann::json{{"type", "addressResults"}}));
    EXPECT_EQ(sim.log().matching("photon.komoot.io").size(), 1u) << "the two-letter query asked nobody";
}

}  // namespace importer
