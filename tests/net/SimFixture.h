// A simulator on a real loopback socket with every outgoing request routed to it, for one test.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "SimServer.h"
#include "net/ServiceEndpoints.h"
#include "net/WfsClient.h"
#include "support/TestSupport.h"

class SimFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start()) << "the simulator could not bind a loopback port";
        setenv(kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
        client.hostIntervalMs = 150;
        client.retryDelayMs = 100;
        client.defaultReceiveTimeoutMs = 3000;
        client.cacheDir = cache.path / "cache";
    }
    void TearDown() override {
        unsetenv(kServicesRoutingVariable);
        sim.stop();
    }

    SimServer sim;
    WfsClient client;
    testsupport::TempDir cache;
};
