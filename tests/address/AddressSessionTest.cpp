// Address search in the headless palette process (`geodraft session`), its requests routed to the simulated
// geocoders on loopback: the search answer comes at once, the suggestions after the worker is done.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <sstream>

#include <nlohmann/json.hpp>

#include "Scenarios.h"
#include "SimServer.h"
#include "support/TestSupport.h"

namespace importer {

TEST(AddressSession, SearchAndSuggestionsInTheHeadlessPalette) {
    sim::SimServer sim;
    sim::buildGeocoderScenario(sim.scenario());
    ASSERT_TRUE(sim.start());
    testsupport::TempDir dir;
    testsupport::writeFile(dir / "input.txt",
                           "{\"type\":\"searchAddress\",\"query\":\"Sukiennice Krak\xC3\xB3w\"}\n"
                           "#wait\n"
                           "{\"type\":\"searchAddressSuggest\",\"query\":\"Br\"}\n"
                           "{\"type\":\"searchAddressSuggest\",\"query\":\"Brzeszcze\"}\n"
                           "#wait\n"
                           "{\"type\":\"searchAddress\",\"query\":\"\"}\n");
    const std::string command =
        "env GEODRAFT_SERVICES='" + sim.baseUrl() + "' XDG_CONFIG_HOME='" + (dir / "config").string() +
        "' XDG_STATE_HOME='" + (dir / "state").string() + "' XDG_CACHE_HOME='" + (dir / "cache").string() + "' '" +
        (testsupport::binaryDir() / "app/geodraft").string() + "' session < '" + (dir / "input.txt").string() +
        "' > '" + (dir / "out.txt").string() + "' 2> '" + (dir / "err.txt").string() + "'";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status)) << status;
    ASSERT_EQ(WEXITSTATUS(status), 0) << testsupport::readFile(dir / "err.txt");

    std::vector<nlohmann::json> out;
    std::istringstream lines(testsupport::readFile(dir / "out.txt"));
    for (std::string line; std::getline(lines, line);) out.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(out.size(), 3u) << testsupport::readFile(dir / "out.txt");
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
