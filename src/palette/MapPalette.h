// The import palette: owns the page's Bridge and offers the controllers' static send.
#pragma once
#include <functional>
#include <string>

#include "bridge/Bridge.h"

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
};

// The build's compile date and time, as "pong" reports them.
std::string buildStamp();

}  // namespace palette
