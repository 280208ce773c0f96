#include "palette/MapPalette.h"

#include "platform/Desktop.h"

namespace palette {

namespace {
MapPalette* g_palette = nullptr;
MapPalette::UrlOpener& urlOpener() {
    static MapPalette::UrlOpener opener = [](const std::string& url) { platform::openUrlExternally(url); };
    return opener;
}
}  // namespace

std::string buildStamp() { return std::string(__DATE__) + " " + __TIME__; }

MapPalette::MapPalette(ControllerHook registerController) : registerController_(std::move(registerController)) {
    g_palette = this;
}

MapPalette::~MapPalette() {
    if (g_palette == this) g_palette = nullptr;
}

void MapPalette::InitBrowserControl(bridge::Bridge::Sender toPage) {
    RegisterBridgeHandlers();
    if (registerController_) registerController_(bridge_);
    bridge_.setSender(std::move(toPage));
}

void MapPalette::RegisterBridgeHandlers() {
    bridge_.on("ping", [](const nlohmann::json&) {
        return nlohmann::json{{"type", "pong"}, {"wersja", kVersion}, {"build", buildStamp()}};
    });
    bridge_.on("openExternal", [](const nlohmann::json& msg) {
        if (msg.is_object() && msg.contains("url")) {
            const std::string url = msg["url"].get<std::string>();
            if (url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0) urlOpener()(url);
        }
        return nlohmann::json{{"type", "noop"}};
    });
}

void MapPalette::sendToPage(const std::string& type, const nlohmann::json& payload) {
    if (g_palette) g_palette->bridge_.send(type, payload);
}

MapPalette* MapPalette::instance() { return g_palette; }

void MapPalette::setUrlOpener(UrlOpener opener) { urlOpener() = std::move(opener); }

}  // namespace palette
