// The Polish simulator scenario on a real loopback socket, every request routed to it, and a fetch context
// over a fresh client, cache and municipality cache for one test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "PolandScenario.h"
#include "Scenarios.h"
#include "SimServer.h"
#include "geodesy/Crs.h"
#include "import/FetchGroups.h"
#include "net/ServiceEndpoints.h"
#include "net/WfsClient.h"
#include "support/TestSupport.h"

class FetchSim : public ::testing::Test {
protected:
    void SetUp() override {
        buildPolandScenario(sim.scenario());
        ASSERT_TRUE(sim.start()) << "the simulator could not bind a loopback port";
        setenv(kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
        client.hostIntervalMs = 0;
        client.retryDelayMs = 10;
        client.defaultReceiveTimeoutMs = 5000;
        client.cacheDir = temp.path / "cache";
    }
    void TearDown() override {
        unsetenv(kServicesRoutingVariable);
        sim.stop();
    }

    // PL-1992 frame of the given size around a place of the scenario.
    static Bbox frameAt(const polandsim::Place& place, double width = 300, double height = 300) {
        const EN c = polandsim::centre1992(place);
        return {c.e - width / 2, c.n - height / 2, c.e + width / 2, c.n + height / 2};
    }

    // Runs the groups for the keys with the fetch system of the place's zone; notes what was reported.
    FetchedData fetch(const std::vector<std::string>& keys, const Bbox& frame, int fetchEpsg, int rasterScale = 1000) {
        FetchedData result;
        FetchContext ctx(client, municipalities, result);
        ctx.frame = frame;
        ctx.keys = keys;
        ctx.rasterScale = rasterScale;
        ctx.fetchEpsg = fetchEpsg;
        ctx.progressFor = [this](const std::string& label) {
            labels.push_back(label);
            return [](int, int) {};
        };
        ctx.reportLine = [this](const std::string& line) { reports.push_back(line); };
        runFetchGroups(ctx);
        return result;
    }
    FetchedData fetchAt(const polandsim::Place& place, const std::vector<std::string>& keys) {
        return fetch(keys, frameAt(place), place.zoneEpsg);
    }

    // Requests the simulator received for one service URL's host and path.
    std::vector<LoggedRequest> requestsTo(const std::string& url) {
        return sim.log().matching(polandsim::hostOf(url), polandsim::pathOf(url));
    }

    static int countOfType(const FetchedData& data, formats::DataType type) {
        int n = 0;
        for (const gml::GisFeature& f : data.features) n += f.type == type ? 1 : 0;
        return n;
    }

    SimServer sim;
    WfsClient client;
    MunicipalityCache municipalities;
    testsupport::TempDir temp;
    std::vector<std::string> labels;
    std::vector<std::string> reports;
};
