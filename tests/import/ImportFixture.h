// A palette, a model host and a controller wired together as in the add-on, with the page's
// received messages recorded and the user folders redirected into a temporary folder.
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
#include "support/TestSupport.h"

namespace importer {

class ImportFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (dir.path / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (dir.path / "state").c_str(), 1);
        // Lookups started in the background (terrain height) must never leave the machine.
        ::setenv("GEODRAFT_SERVICES", "offline", 1);
        installHost(&model);
        controller = std::make_unique<ImportController>(settings::defaultSettings());
        palette = std::make_unique<palette::MapPalette>([this](bridge::Bridge& b) { controller->registerHandlers(b); });
        palette->InitBrowserControl([this](const std::string& text) { sent.push_back(nlohmann::json::parse(text)); });
    }

    void TearDown() override {
        // Workers hold the controller; none may outlive it.
        EXPECT_TRUE(platform::settleWorkers(std::chrono::seconds(10)));
        palette.reset();
        controller.reset();
        host::installHost(nullptr);
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("XDG_STATE_HOME");
        ::unsetenv("GEODRAFT_SERVICES");
    }

    // Sends one page message and returns what the page received in answer at once.
    std::vector<nlohmann::json> send(const nlohmann::json& msg) {
        const std::size_t before = sent.size();
        palette->bridge().dispatch(msg.dump());
        return {sent.begin() + static_cast<std::ptrdiff_t>(before), sent.end()};
    }
    // Lets workers finish and delivers what they posted.
    void settle() { ASSERT_TRUE(platform::settleWorkers(std::chrono::seconds(10))); }

    // Messages of one type received so far.
    std::vector<nlohmann::json> received(const std::string& type) const {
        std::vector<nlohmann::json> out;
        for (const nlohmann::json& m : sent)
            if (m.value("type", "") == type) out.push_back(m);
        return out;
    }

    static nlohmann::json errorMsg(const std::string& text) { return nlohmann::json{{"type", "error"}, {"msg", text}}; }

    testsupport::TempDir dir;
    model::ModelHost model;
    std::unique_ptr<ImportController> controller;
    std::unique_ptr<palette::MapPalette> palette;
    std::vector<nlohmann::json> sent;
};

}  // namespace importer
