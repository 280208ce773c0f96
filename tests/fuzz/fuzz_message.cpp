// Fuzz target for page messages: any line the page channel carries, through the import palette's bridge
// into the controller over an in-process model, is answered with well-formed messages only, and every
// worker it starts ends (services are offline).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "import/ImportController.h"
#include "model/ModelHost.h"
#include "palette/MapPalette.h"
#include "platform/Workers.h"
#include "settings/Settings.h"

namespace {

struct World {
    model::ModelHost model;
    std::unique_ptr<importer::ImportController> controller;
    std::unique_ptr<palette::MapPalette> palette;

    World() {
        const std::filesystem::path home = std::filesystem::temp_directory_path() / "geodraft-fuzz-message";
        ::setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
        ::setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
        ::setenv("GEODRAFT_SERVICES", "offline", 1);
        ::setenv("GEODRAFT_PACING_MS", "0", 1);  // failed requests are retried without the pause
        host::installHost(&model);
        controller = std::make_unique<importer::ImportController>(settings::defaultSettings());
        palette::MapPalette::setUrlOpener([](const std::string&) {});
        palette = std::make_unique<palette::MapPalette>([this](bridge::Bridge& b) { controller->registerHandlers(b); });
        palette->InitBrowserControl([](const std::string& text) {
            if (!nlohmann::json::accept(text)) std::abort();
        });
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static World world;
    world.palette->bridge().dispatch(std::string(reinterpret_cast<const char*>(data), size));
    if (!platform::settleWorkers(std::chrono::seconds(60))) std::abort();
    return 0;
}
