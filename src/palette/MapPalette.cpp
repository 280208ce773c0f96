#include "palette/MapPalette.h"

#include "browser/BrowserChannel.h"
#include "palette/detail/WebPalette.h"
#include "platform/Desktop.h"

namespace palette {

namespace {
MapPalette* g_palette = nullptr;

const detail::PaletteTexts kTexts{"MapPalette", "TERRAVOX: ", "TERRAVOX", "map.html"};
const std::vector<detail::WebFile> kFiles{
    {100, "map.html"},       {101, "map.js"},          {102, "map.css"},
    {103, "gisbridge.js"},   {110, "leaflet.js"},      {111, "leaflet.css"},
    {112, "maplibre-gl.js"}, {113, "maplibre-gl.css"}, {114, "leaflet-maplibre-gl.js"},
};
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
    // The page may still call in; its calls must not reach a bridge that is gone.
    if (browser_) browser_->clearObjects();
    if (g_palette == this) g_palette = nullptr;
}

void MapPalette::InitBrowserControl(bridge::Bridge::Sender toPage) {
    RegisterBridgeHandlers();
    if (registerController_) registerController_(bridge_);
    bridge_.setSender(std::move(toPage));
}

bool MapPalette::InitBrowserControl(browser::BrowserChannel& browser) {
    RegisterBridgeHandlers();
    if (registerController_) registerController_(bridge_);
    RegisterBridgeJSObject(browser);
    browser_ = &browser;
    return detail::loadPage(kTexts, kFiles, browser);
}

void MapPalette::RegisterBridgeJSObject(browser::BrowserChannel& browser) {
    if (!memory_) memory_ = std::make_unique<detail::PageMemory>();
    detail::registerBridgeJSObject(bridge_, browser, *memory_);
}

bool MapPalette::ExtractWebResources() { return detail::extractWebResources(kTexts, kFiles); }

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
