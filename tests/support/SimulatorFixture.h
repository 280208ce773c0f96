// One test against the simulator on a real loopback socket: every outgoing request is routed to it, and a web
// client with a private cache is ready. Derived fixtures choose the data sets and the client's timings.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

#include "Scenario.h"
#include "SimServer.h"
#include "net/ServiceEndpoints.h"
#include "net/WfsClient.h"
#include "support/TestSupport.h"

class SimulatorFixture : public ::testing::Test {
protected:
    using Builder = void (*)(sim::Scenario&);

    // `build` fills the scenario before the server starts (none: an empty one); an empty cacheDir in `options`
    // becomes a folder inside `temp`.
    explicit SimulatorFixture(net::WfsClient::Options options = {}, Builder build = nullptr)
        : client(std::move(options)), build_(build) {}

    void SetUp() override {
        if (build_ != nullptr) build_(sim.scenario());
        ASSERT_TRUE(sim.start()) << "the simulator could not bind a loopback port";
        ::setenv(net::kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
        if (client.options.cacheDir.empty()) client.options.cacheDir = temp.path / "cache";
    }
    void TearDown() override {
        ::unsetenv(net::kServicesRoutingVariable);
        sim.stop();
    }

    testsupport::TempDir temp;
    sim::SimServer sim;
    net::WfsClient client;

private:
    Builder build_;
};
