// The elevation scenario of the simulator and a web client with a private cache, for one test; runs of
// `geodraft session` and `geodraft model` with private settings, state and cache.
#pragma once
#include <cstdlib>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "ElevationScenario.h"
#include "SimHttp.h"
#include "support/GeodraftRun.h"
#include "support/SimulatorFixture.h"

using SessionRun = testsupport::GeodraftRun;

// `input` is the session's standard input, one line each; everything the run writes stays under `dir`.
inline SessionRun runSession(const std::filesystem::path& dir, const std::vector<std::string>& input,
                             const std::string& arguments, int pacingMs) {
    return testsupport::runGeodraft(dir, "session " + arguments, input, pacingMs);
}

// The listing `geodraft model` gives of a project file.
inline std::string modelListing(const std::filesystem::path& project, const std::filesystem::path& out) {
    const std::string command = "'" + (testsupport::binaryDir() / "app/geodraft").string() + "' model '" +
                                project.string() + "' > '" + out.string() + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return testsupport::readFile(out);
}

class ElevationSim : public SimulatorFixture {
protected:
    ElevationSim()
        : SimulatorFixture({.hostIntervalMs = 0, .retryDelayMs = 10, .defaultReceiveTimeoutMs = 10000},
                           sim::buildElevationScenario) {}

    // Feature types asked of one index service, in the order asked.
    std::vector<std::string> typesAsked(const std::string& serviceUrl) {
        std::vector<std::string> types;
        const std::string host = serviceUrl.substr(serviceUrl.find("://") + 3);
        const std::string path = host.substr(host.find('/'));
        for (const sim::LoggedRequest& r : sim.log().matching(host.substr(0, host.find('/')), path)) {
            const auto at = r.query.find("typenames=");
            if (at == std::string::npos) continue;
            const auto end = r.query.find('&', at);
            types.push_back(
                sim::percentDecode(r.query.substr(at + 10, end == std::string::npos ? end : end - at - 10)));
        }
        return types;
    }
};
