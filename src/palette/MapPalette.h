// The import palette: owns the page's Bridge and offers the controllers' static send.
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

class MapPalette {
public:
    // Registers handlers of the controller on the palette's bridge (called once per browser init).
    using ControllerHook = std::function<void(bridge::Bridge&)>;
    // Opens an http(s) URL outside the add-on.
    using UrlOpener = std::function<void(const std::string&)>;

    explicit MapPalette(ControllerHook registerController = {});
    ~MapPalette();
    MapPalette(const MapPalette&) = delete;
    MapPalette& operator=(const MapPalette&) = delete;

    // Registers the handlers and installs the sender that carries text to the page.
    void InitBrowserControl(bridge::Bridge::Sender toPage);
    // The same with a browser: handlers, the "GIS" object, load events, the web files and the page.
    // False when the web files could not be extracted (the palette stays empty).
    bool InitBrowserControl(browser::BrowserChannel& browser);
    // Installs the sender into the page and the page's object "GIS" with "postMessage".
    void RegisterBridgeJSObject(browser::BrowserChannel& browser);
    // Writes the page and its libraries into the web folder; false at the first failure.
    static bool ExtractWebResources();
    // The palette's own handlers: "ping" and "openExternal".
    void RegisterBridgeHandlers();
    // The palette's bridge (the page's messages enter through its dispatch).
    bridge::Bridge& bridge() { return bridge_; }

    // Sends to the page of the living palette; drops the message when there is none.
    static void sendToPage(const std::string& type, const nlohmann::json& payload);
    // The living palette, or null.
    static MapPalette* instance();
    // Replaces how "openExternal" opens a URL (default: the desktop's opener).
    static void setUrlOpener(UrlOpener opener);

    // The version the import palette reports in "pong".
    static constexpr const char* kVersion = "1.8.0";

private:
    bridge::Bridge bridge_;
    ControllerHook registerController_;
    browser::BrowserChannel* browser_ = nullptr;  // the page's browser, released with the palette
    std::unique_ptr<detail::PageMemory> memory_;  // what the page shows, for a page that starts anew
};

// The build's compile date and time, as "pong" reports them.
std::string buildStamp();

}  // namespace palette
