// The elevation scenario of the simulator and a web client with a private cache, for one test.
#pragma once
#include <string>
#include <vector>

#include "ElevationScenario.h"
#include "SimHttp.h"
#include "support/SimulatorFixture.h"

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
