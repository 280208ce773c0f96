#include "WorkspaceShell.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <variant>

#include "ExportBundle.h"
#include "ModelView.h"
#include "exporter/ModelExport.h"
#include "exporter/ModelSnapshot.h"
#include "exporter/SvgWriter.h"
#include "platform/MessageLoop.h"
#include "platform/Workers.h"

namespace {

// A menu text without the host's enable codes ("^ES^EE...").
std::string menuText(const std::string& text) {
    const auto codes = text.find('^');
    return codes == std::string::npos ? text : text.substr(0, codes);
}

}  // namespace

WorkspaceShell::WorkspaceShell(browser::BrowserChannel& page, model::ModelHost& model) : page_(page), model_(model) {}

void WorkspaceShell::send(const nlohmann::json& message) {
    page_.ExecuteJS("Workspace.receive(" + message.dump(-1, ' ', true, nlohmann::json::error_handler_t::replace) +
                    ");");
}

nlohmann::json WorkspaceShell::menuMessage() const {
    nlohmann::json items = nlohmann::json::array();
    for (std::size_t i = 2; i < menu_.size(); ++i) {
        const auto item = static_cast<std::int32_t>(i - 1);
        const auto flags = itemFlags_.find(item);
        items.push_back({{"item", item},
                         {"text", menuText(menu_[i])},
                         {"checked", flags != itemFlags_.end() && (flags->second & host::kMenuItemChecked) != 0}});
    }
    return {{"kind", "menu"},
            {"title", menu_.size() > 0 ? menu_[0] : ""},
            {"subtitle", menu_.size() > 1 ? menu_[1] : ""},
            {"items", items}};
}

nlohmann::json WorkspaceShell::paletteMessage(const std::string& guid) const {
    const Palette& p = palettes_.at(guid);
    return {{"kind", "palette"},    {"guid", guid},         {"title", p.title},
            {"visible", p.visible}, {"address", p.address}, {"enabled", p.enabled}};
}

host::HostError WorkspaceShell::registerMenu(std::int32_t menuId, const std::vector<std::string>& strings) {
    menuId_ = menuId;
    menu_ = strings;
    send(menuMessage());
    return host::kHostOk;
}

host::HostError WorkspaceShell::installMenuHandler(std::int32_t menuId, MenuHandler handler) {
    if (menuId != menuId_) return host::kHostBadPars;
    menuHandler_ = std::move(handler);
    return host::kHostOk;
}

host::HostError WorkspaceShell::getMenuItemFlags(std::int32_t menuId, std::int32_t item, std::int32_t& flags) {
    if (menuId != menuId_) return host::kHostBadPars;
    flags = itemFlags_[item];
    return host::kHostOk;
}

host::HostError WorkspaceShell::setMenuItemFlags(std::int32_t menuId, std::int32_t item, std::int32_t flags) {
    if (menuId != menuId_) return host::kHostBadPars;
    itemFlags_[item] = flags;
    send(menuMessage());
    return host::kHostOk;
}

host::HostError WorkspaceShell::registerPalette(std::int32_t, PaletteCallback callback, std::int32_t,
                                                const std::string& guid) {
    palettes_[guid].callback = std::move(callback);
    return host::kHostOk;
}

host::HostError WorkspaceShell::showPalette(const std::string& guid, const std::string& title, bool visible) {
    Palette& p = palettes_[guid];
    p.title = title;
    p.visible = visible;
    send(paletteMessage(guid));
    return host::kHostOk;
}

host::HostError WorkspaceShell::setPalettePage(const std::string& guid, const std::string& address) {
    palettes_[guid].address = address;
    send(paletteMessage(guid));
    return host::kHostOk;
}

host::HostError WorkspaceShell::setPaletteEnabled(const std::string& guid, bool enabled) {
    palettes_[guid].enabled = enabled;
    send(paletteMessage(guid));
    return host::kHostOk;
}

host::HostError WorkspaceShell::keepModuleLoaded(bool) { return host::kHostOk; }

host::HostError WorkspaceShell::registerNotification(std::int32_t code, NotificationHandler handler) {
    notifications_[code] = std::move(handler);
    return host::kHostOk;
}

host::HostError WorkspaceShell::openExternal(const std::string& url) {
    // The user's own browser opens it, in a new tab beside the workspace.
    if (url.rfind("https://", 0) == 0 || url.rfind("http://", 0) == 0) send({{"kind", "open"}, {"url", url}});
    return host::kHostOk;
}

void WorkspaceShell::reportLine(const std::string& line) {
    report_.push_back(line);
    send({{"kind", "report"}, {"line", line}});
}

std::int32_t WorkspaceShell::alert(const host::AlertRequest& request) {
    const std::int64_t id = ++alertId_;
    nlohmann::json message{{"kind", "alert"},
                           {"id", id},
                           {"type", request.type},
                           {"title", request.title},
                           {"large", request.largeText},
                           {"small", request.smallText},
                           {"buttons", request.buttons}};
    openAlerts_.push_back(message);
    send(message);
    // Modal: the main loop keeps serving the pages until the user answers.
    auto& loop = platform::MessageLoop::main();
    while (alertAnswers_.find(id) == alertAnswers_.end()) {
        if (stop_ && *stop_)
            alertAnswers_[id] = static_cast<std::int32_t>(std::max<std::size_t>(1, request.buttons.size()));
        else loop.runOne(std::chrono::milliseconds(200));
    }
    const std::int32_t button = alertAnswers_[id];
    alertAnswers_.erase(id);
    openAlerts_.erase(
        std::remove_if(openAlerts_.begin(), openAlerts_.end(), [id](const nlohmann::json& a) { return a["id"] == id; }),
        openAlerts_.end());
    refreshModelView();
    return button;
}

void WorkspaceShell::refreshModelView(bool force) {
    const auto& state = model_.state();
    if (!force && model_.revision() == modelRevision_) return;
    modelRevision_ = model_.revision();
    const exporter::ModelSnapshot snapshot = exporter::snapshotOf(state);
    std::map<std::string, int> counts;
    for (const auto& element : snapshot.elements) ++counts[exporter::exportLayerName(snapshot, element.header.layer)];
    nlohmann::json message{{"kind", "model"},
                           {"svg", exporter::writeSvg(snapshot, {})},
                           {"elements", state.elements.size()},
                           {"layers", counts},
                           {"undo", model_.undoableCommandName()}};
    if (!folder_.empty()) {
        nlohmann::json view = ModelView::write(state, folder_ / "view", modelRevision_);
        view["folder"] = "view/";
        message["view"] = std::move(view);
    }
    send(message);
}

void WorkspaceShell::exportModel() {
    if (exporting_ || folder_.empty()) return;
    exporting_ = true;
    // Each export in a folder of its own: a page may still be downloading the previous one, older ones go.
    const std::string name = std::to_string(++exports_);
    const std::filesystem::path dir = folder_ / "export" / name;
    auto snapshot = std::make_shared<exporter::ModelSnapshot>(exporter::snapshotOf(model_.state()));
    platform::startWorker([this, snapshot, dir, name] {
        std::error_code ignored;
        std::vector<std::filesystem::path> older;
        for (const auto& entry : std::filesystem::directory_iterator(dir.parent_path(), ignored)) {
            const std::string other = entry.path().filename().string();
            if (other != name && other != std::to_string(std::stoi(name) - 1)) older.push_back(entry.path());
        }
        for (const auto& path : older) std::filesystem::remove_all(path, ignored);
        const exporter::ExportResult result = exporter::exportModel(*snapshot, dir);
        nlohmann::json message{{"kind", "exported"}, {"ok", result.ok}, {"error", result.error}};
        if (result.ok) message["files"] = ExportBundle::pack(dir, "export/" + name + "/");
        platform::MessageLoop::main().post([this, message] {
            exporting_ = false;
            send(message);
        });
    });
}

void WorkspaceShell::onPageCall(const nlohmann::json& call) {
    if (!call.is_object() || !call.contains("op") || !call["op"].is_string()) return;
    const std::string op = call["op"];
    if (op == "hello") {
        send(menuMessage());
        for (const auto& [guid, p] : palettes_) send(paletteMessage(guid));
        send({{"kind", "reportAll"}, {"lines", report_}});
        for (const auto& a : openAlerts_) send(a);
        refreshModelView(true);
    } else if (op == "menu" && call.contains("item") && call["item"].is_number_integer()) {
        if (menuHandler_) menuHandler_(menuId_, call["item"].get<std::int32_t>());
    } else if (op == "palette" && call.contains("guid") && call["guid"].is_string() && call.contains("message") &&
               call["message"].is_number_integer()) {
        auto it = palettes_.find(call["guid"].get<std::string>());
        bool visible = false;
        if (it != palettes_.end() && it->second.callback) it->second.callback(call["message"].get<int>(), visible);
    } else if (op == "undo") {
        // Refused while a command runs (an alert of it may be open).
        const std::string name = model_.undoableCommandName();
        const bool undone = !name.empty() && model_.undoLastCommand() == host::kHostOk;
        if (undone) reportLine("Cofnieto: " + name);
        // The page disabled its button for the answer: a refusal must reach it too.
        refreshModelView(!undone);
    } else if (op == "export") {
        exportModel();
    } else if (op == "alert" && call.contains("id") && call["id"].is_number_integer() && call.contains("button") &&
               call["button"].is_number_integer()) {
        alertAnswers_[call["id"].get<std::int64_t>()] = call["button"].get<std::int32_t>();
    }
}

void WorkspaceShell::closeProject() {
    auto it = notifications_.find(host::kNotifyProjectClose);
    if (it != notifications_.end() && it->second) it->second(host::kNotifyProjectClose);
}
