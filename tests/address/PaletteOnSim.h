// The import palette, its controller and a model host wired as in the add-on, with every web request
// routed to a simulator on a real loopback socket and the user folders (cache included) in a test folder.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bridge/Bridge.h"
#include "import/ImportController.h"
#include "model/ModelHost.h"
#include "palette/MapPalette.h"
#include "platform/Workers.h"
#include "settings/Settings.h"
#include "support/SimulatorFixture.h"

// The controller has a web client of its own; the fixture's client stays unused.
class PaletteOnSim : public SimulatorFixture {
protected:
    void SetUp() override {
        SimulatorFixture::SetUp();
        if (HasFatalFailure()) return;
        ::setenv("XDG_CONFIG_HOME", (temp.path / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (temp.path / "state").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (temp.path / "cache").c_str(), 1);
        host::installHost(&model);
        controller = std::make_unique<importer::ImportController>(settings::defaultSettings());
        net::WfsClient::Options& web = controller->webClient().options;
        web.hostIntervalMs = 0;
        web.retryDelayMs = 20;
        web.defaultReceiveTimeoutMs = 5000;
        palette = std::make_unique<palette::MapPalette>([this](bridge::Bridge& b) { controller->registerHandlers(b); });
        palette->InitBrowserControl([this](const std::string& text) {
            raw.push_back(text);
            sent.push_back(nlohmann::json::parse(text));
        });
    }

    void TearDown() override {
        // Workers hold the controller; none may outlive it.
        EXPECT_TRUE(platform::settleWorkers(std::chrono::seconds(20)));
        palette.reset();
        controller.reset();
        host::installHost(nullptr);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_STATE_HOME", "XDG_CACHE_HOME"}) ::unsetenv(name);
        SimulatorFixture::TearDown();
    }

    // Sends one page message and returns what the page received in answer at once.
    std::vector<nlohmann::json> send(const nlohmann::json& msg) {
        const std::size_t before = sent.size();
        palette->bridge().dispatch(msg.dump());
        return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
    }
    // Lets workers finish and delivers what they posted.
    void settle() { ASSERT_TRUE(platform::settleWorkers(std::chrono::seconds(20))); }

    // Messages of one type received so far.
    std::vector<nlohmann::json> received(const std::string& type) const {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json& m : sent)
            if (m.value("type", "") == type) out.push_back(m);
        return out;
    }

    // Requests the simulator received for a host (and path).
    std::vector<sim::LoggedRequest> requests(const std::string& host, const std::string& path = {}) {
        return sim.log().matching(host, path);
    }

    model::ModelHost model;
    std::unique_ptr<importer::ImportController> controller;
    std::unique_ptr<palette::MapPalette> palette;
    std::vector<nlohmann::json> sent;
    std::vector<std::string> raw;  // the texts as the page received them
};
