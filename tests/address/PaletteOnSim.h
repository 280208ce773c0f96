// The import palette, its controller and a model host wired as in the add-on, with every web request
// routed to a simulator on a real loopback socket and the user folders (cache included) in a test folder.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "SimServer.h"
#include "bridge/Bridge.h"
#include "import/ImportController.h"
#include "model/ModelHost.h"
#include "net/ServiceEndpoints.h"
#include "palette/MapPalette.h"
#include "platform/Workers.h"
#include "settings/Settings.h"
#include "support/TestSupport.h"

class PaletteOnSim : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.start()) << "the simulator could not bind a loopback port";
        ::setenv(kServicesRoutingVariable, sim.baseUrl().c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (dir.path / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (dir.path / "state").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (dir.path / "cache").c_str(), 1);
        installHost(&model);
        controller = std::make_unique<ImportController>(defaultSettings());
        WfsClient& client = controller->webClient();
        client.hostIntervalMs = 0;
        client.retryDelayMs = 20;
        client.defaultReceiveTimeoutMs = 5000;
        palette = std::make_unique<MapPalette>([this](Bridge& b) { controller->registerHandlers(b); });
        palette->InitBrowserControl([this](const std::string& text) {
            raw.push_back(text);
            sent.push_back(Json::parse(text));
        });
    }

    void TearDown() override {
        // Workers hold the controller; none may outlive it.
        EXPECT_TRUE(platform::settleWorkers(std::chrono::seconds(20)));
        palette.reset();
        controller.reset();
        installHost(nullptr);
        for (const char* name : {kServicesRoutingVariable, "XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"})
            ::unsetenv(name);
        sim.stop();
    }

    // Sends one page message and returns what the page received in answer at once.
    std::vector<Json> send(const Json& msg) {
        const std::size_t before = sent.size();
        palette->bridge().dispatch(msg.dump());
        return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
    }
    // Lets workers finish and delivers what they posted.
    void settle() { ASSERT_TRUE(platform::settleWorkers(std::chrono::seconds(20))); }

    // Messages of one type received so far.
    std::vector<Json> received(const std::string& type) const {
        std::vector<Json> out;
        for (const Json& m : sent)
            if (m.value("type", "") == type) out.push_back(m);
        return out;
    }

    // Requests the simulator received for a host (and path).
    std::vector<LoggedRequest> requests(const std::string& host, const std::string& path = {}) {
        return sim.log().matching(host, path);
    }

    testsupport::TempDir dir;
    SimServer sim;
    ModelHost model;
    std::unique_ptr<ImportController> controller;
    std::unique_ptr<MapPalette> palette;
    std::vector<Json> sent;
    std::vector<std::string> raw;  // the texts as the page received them
};
