#include "palette/CloudPalette.h"

#include "browser/BrowserChannel.h"
#include "palette/MapPalette.h"
#include "palette/detail/WebPalette.h"

namespace palette {

namespace {
CloudPalette* g_cloud = nullptr;

const detail::PaletteTexts kTexts{"CloudPalette", "Velmora Cloud: ", "Velmora_Cloud", "cloud.html"};
const std::vector<detail::WebFile> kFiles{
    {200, "cloud.html"},   {201, "cloud.js"},   {202, "cloud.css"},
    {103, "gisbridge.js"}, {110, "leaflet.js"}, {111, "leaflet.css"},
};
}  // namespace

CloudPalette::CloudPalette(ControllerHook registerController) : registerController_(std::move(registerController)) {
    g_cloud = this;
}

CloudPalette::~CloudPalette() {
    // The page may still call in; its calls must not reach a bridge that is gone.
    if (browser_) browser_->clearObjects();
    if (g_cloud == this) g_cloud = nullptr;
}

void CloudPalette::InitBrowserControl(bridge::Bridge::Sender toPage) {
    RegisterBridgeHandlers();
    if (registerController_) registerController_(bridge_);
    bridge_.setSender(std::move(toPage));
}

bool CloudPalette::InitBrowserControl(browser::BrowserChannel& browser) {
    RegisterBridgeHandlers();
    if (registerController_) registerController_(bridge_);
    RegisterBridgeJSObject(browser);
    browser_ = &browser;
    return detail::loadPage(kTexts, kFiles, browser);
}

void CloudPalette::RegisterBridgeJSObject(browser::BrowserChannel& browser) {
    if (!memory_) memory_ = std::make_unique<detail::PageMemory>();
    detail::registerBridgeJSObject(bridge_, browser, *memory_);
}

bool CloudPalette::ExtractWebResources() { return detail::extractWebResources(kTexts, kFiles); }

void CloudPalette::RegisterBridgeHandlers() {
    bridge_.on("ping", [](const nlohmann::json&) { return nlohmann::json{{"type", "pong"}, {"build", buildStamp()}}; });
}

void CloudPalette::sendToPage(const std::string& type, const nlohmann::json& payload) {
    if (g_cloud) g_cloud->bridge_.send(type, payload);
}

CloudPalette* CloudPalette::instance() { return g_cloud; }

}  // namespace palette
