// The point-cloud palette: owns its page's Bridge and offers its controller's static send.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "bridge/Bridge.h"

namespace browser {
class BrowserChannel;
}

namespace palette::detail {
class PageMemory;
}

namespace palette {

class CloudPalette {
public:
    // Registers the point-cloud controller's handlers on the palette's bridge.
    using ControllerHook = std::function<void(bridge::Bridge&)>;

    explicit CloudPalette(ControllerHook registerController = {});
    ~CloudPalette();
    CloudPalette(const CloudPalette&) = delete;
    CloudPalette& operator=(const CloudPalette&) = delete;

    // Handlers and a sender without a browser (a headless session).
    void InitBrowserControl(bridge::Bridge::Sender toPage);
    // Handlers, the "GIS" object, load events, the web files and the page; false when the palette stays empty.
    bool InitBrowserControl(browser::BrowserChannel& browser);
    void RegisterBridgeJSObject(browser::BrowserChannel& browser);
    static bool ExtractWebResources();
    // The palette's own handler: "ping" (without "wersja").
    void RegisterBridgeHandlers();
    bridge::Bridge& bridge() { return bridge_; }

    // Sends to the page of the living point-cloud palette; drops the message when there is none.
    static void sendToPage(const std::string& type, const nlohmann::json& payload);
    static CloudPalette* instance();

private:
    bridge::Bridge bridge_;
    ControllerHook registerController_;
    browser::BrowserChannel* browser_ = nullptr;  // the page's browser, released with the palette
    std::unique_ptr<detail::PageMemory> memory_;  // what the page shows, for a page that starts anew
};

}  // namespace palette
