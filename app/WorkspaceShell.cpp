#include "WorkspaceShell.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <variant>

#include "exporter/ExportGeometry.h"
#include "exporter/ModelSnapshot.h"
#include "exporter/SvgWriter.h"
#include "platform/MessageLoop.h"

namespace {

// The 3D view draws at most this many triangles and segments (a denser model is thinned evenly), at
// centimetre precision: the view is for looking, and each update crosses to the page as JSON text.
constexpr std::size_t kMaxViewFaces = 60000;
constexpr std::size_t kMaxViewLines = 100000;

double viewNumber(double v) { return std::round(v * 100.0) / 100.0; }

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
    const std::size_t signature = state.elements.size() * 1000003u + model_.committedCommands().size();
    if (!force && signature == modelSignature_) return;
    modelSignature_ = signature;
    const exporter::ModelSnapshot snapshot = exporter::snapshotOf(state);
    std::vector<exporter::Face3> faces;
    for (const auto& element : snapshot.elements) {
        auto more = exporter::facesOf(element);
        faces.insert(faces.end(), more.begin(), more.end());
    }
    const std::size_t step = faces.size() > kMaxViewFaces ? (faces.size() + kMaxViewFaces - 1) / kMaxViewFaces : 1;
    nlohmann::json positions = nlohmann::json::array();
    nlohmann::json colours = nlohmann::json::array();
    for (std::size_t i = 0; i < faces.size(); i += step) {
        const auto& f = faces[i];
        for (const auto* p : {&f.a, &f.b, &f.c}) {
            positions.push_back(viewNumber(p->x));
            positions.push_back(viewNumber(p->y));
            positions.push_back(viewNumber(p->z));
        }
        const host::HostColour c = exporter::layerColour(exporter::exportLayerName(snapshot, f.layer));
        colours.push_back({c.red, c.green, c.blue});
    }
    // 2D kinds lie in the 3D view as lines on the ground.
    nlohmann::json lines = nlohmann::json::array();
    const auto addPath = [&](const std::vector<host::HostPoint2>& path, bool closed) {
        for (std::size_t i = 0; i + 1 < path.size() + (closed ? 1 : 0) && path.size() > 1; ++i) {
            if (lines.size() >= kMaxViewLines * 4) return;
            const auto& a = path[i];
            const auto& b = path[(i + 1) % path.size()];
            for (double v : {a.x, a.y, b.x, b.y}) lines.push_back(viewNumber(v));
        }
    };
    for (const auto& element : snapshot.elements) {
        if (const auto* polyline = std::get_if<host::PolylineElement>(&element.body)) {
            addPath(exporter::tessellatePolyline(*polyline), false);
        } else if (const auto* fill = std::get_if<host::FillElement>(&element.body)) {
            for (const auto& ring : fill->contours) addPath(ring, true);
        }
    }
    std::map<std::string, int> counts;
    for (const auto& element : snapshot.elements) ++counts[exporter::exportLayerName(snapshot, element.header.layer)];
    send({{"kind", "model"},
          {"svg", exporter::writeSvg(snapshot, {})},
          {"positions", positions},
          {"colours", colours},
          {"lines", lines},
          {"elements", state.elements.size()},
          {"layers", counts}});
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
    } else if (op == "alert" && call.contains("id") && call["id"].is_number_integer() && call.contains("button") &&
               call["button"].is_number_integer()) {
        alertAnswers_[call["id"].get<std::int64_t>()] = call["button"].get<std::int32_t>();
    }
}

void WorkspaceShell::closeProject() {
    auto it = notifications_.find(host::kNotifyProjectClose);
    if (it != notifications_.end() && it->second) it->second(host::kNotifyProjectClose);
}
