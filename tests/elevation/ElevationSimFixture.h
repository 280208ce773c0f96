// The elevation scenario of the simulator on a real loopback socket, every request routed to it, and a web
// client with a private cache for one test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>

#include "ElevationScenario.h"
#include "SimServer.h"
#include "net/ServiceEndpoints.h"
#include "net/WfsClient.h"
#include "support/TestSupport.h"

class ElevationSim : public ::testing::Test {
protected:
    void SetUp() override {
        buildElevationScenario(sim.scenario());
        ASSERT_TRUE(sim.start()) << "the simulator could not bind a loopback port";
        setenv(kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
        client.hostIntervalMs = 0;
        client.retryDelayMs = 10;
        client.defaultReceiveTimeoutMs = 10000;
        client.cacheDir = temp.path / "cache";
    }
    void TearDown() override {
        unsetenv(kServicesRoutingVariable);
        sim.stop();
    }

    // Feature types asked of one index service, in the order asked.
    std::vector<std::string> typesAsked(const std::string& serviceUrl) {
        std::vector<std::string> types;
        const std::string host = serviceUrl.substr(serviceUrl.find("://") + 3);
        const std::string path = host.substr(host.find('/'));
        for (const LoggedRequest& r : sim.log().matching(host.substr(0, host.find('/')), path)) {
            const auto at = r.query.find("typenames=");
            if (at == std::string::npos) continue;
            const auto end = r.query.find('&', at);
            types.push_back(percentDecode(r.query.substr(at + 10, end == std::string::npos ? end : end - at - 10)));
        }
        return types;
    }

    SimServer sim;
    WfsClient client;
    testsupport::TempDir temp;
};
