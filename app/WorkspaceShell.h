// The workspace's side of the host shell: menu, palette windows, report window, alerts and the model
// view, all shown by the workspace page in the user's browser.
#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "browser/BrowserChannel.h"
#include "host/Shell.h"
#include "model/ModelHost.h"

class WorkspaceShell : public host::Shell {
public:
    WorkspaceShell(browser::BrowserChannel& page, model::ModelHost& model);

    host::HostError registerMenu(std::int32_t menuId, const std::vector<std::string>& strings) override;
    host::HostError installMenuHandler(std::int32_t menuId, MenuHandler handler) override;
    host::HostError getMenuItemFlags(std::int32_t menuId, std::int32_t item, std::int32_t& flags) override;
    host::HostError setMenuItemFlags(std::int32_t menuId, std::int32_t item, std::int32_t flags) override;
    host::HostError registerPalette(std::int32_t reference, PaletteCallback callback, std::int32_t flags,
                                    const std::string& guid) override;
    host::HostError showPalette(const std::string& guid, const std::string& title, bool visible) override;
    host::HostError setPalettePage(const std::string& guid, const std::string& address) override;
    host::HostError setPaletteEnabled(const std::string& guid, bool enabled) override;
    host::HostError keepModuleLoaded(bool keep) override;
    host::HostError registerNotification(std::int32_t code, NotificationHandler handler) override;
    host::HostError openExternal(const std::string& url) override;

    // A report-window line; an alert shown modally in the page (the main loop keeps running meanwhile).
    void reportLine(const std::string& line);
    std::int32_t alert(const host::AlertRequest& request);
    // Sends the model view again when the model changed since the last time.
    void refreshModelView(bool force = false);
    // A call of the workspace page (menu choice, window close, alert answer, greeting).
    void onPageCall(const nlohmann::json& call);
    // When set, an open alert ends with its last button (the workspace is shutting down).
    void setStopFlag(const std::atomic<bool>* stop) { stop_ = stop; }
    // Sends the project-close notification (the palettes end).
    void closeProject();
    // The page's folder: the 3D view's files and the exports are written under it.
    void setFolder(const std::filesystem::path& folder) { folder_ = folder; }

private:
    struct Palette {
        std::string title;
        std::string address;
        bool visible = false;
        bool enabled = true;
        PaletteCallback callback;
    };
    void send(const nlohmann::json& message);
    nlohmann::json menuMessage() const;
    nlohmann::json paletteMessage(const std::string& guid) const;
    // Writes every export format on a worker and offers the files to the page.
    void exportModel();

    browser::BrowserChannel& page_;
    model::ModelHost& model_;
    std::int32_t menuId_ = 0;
    std::vector<std::string> menu_;
    std::map<std::int32_t, std::int32_t> itemFlags_;
    MenuHandler menuHandler_;
    std::map<std::string, Palette> palettes_;
    std::map<std::int32_t, NotificationHandler> notifications_;
    std::vector<std::string> report_;
    std::int64_t alertId_ = 0;
    std::map<std::int64_t, std::int32_t> alertAnswers_;
    std::vector<nlohmann::json> openAlerts_;
    const std::atomic<bool>* stop_ = nullptr;
    std::uint64_t modelRevision_ = static_cast<std::uint64_t>(-1);
    std::filesystem::path folder_;
    bool exporting_ = false;
    int exports_ = 0;
};
