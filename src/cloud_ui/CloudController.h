// The logic behind the point-cloud palette: the frame estimate and its refinement, the download worker, the
// completion with its diagnostics and hand-over copy, the project origin from the map and the page's start.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "bridge/Bridge.h"
#include "cloud_ui/CloudDownload.h"
#include "cloud_ui/CloudResult.h"
#include "cloud_ui/Detail.h"
#include "geodesy/Bbox.h"
#include "net/WfsClient.h"

namespace cloudui {

class CloudController {
public:
    // Carries a pushed message (type, payload) to the page.
    using PageSender = std::function<void(const std::string& type, const nlohmann::json& payload)>;

    CloudController() = default;
    CloudController(const CloudController&) = delete;
    CloudController& operator=(const CloudController&) = delete;

    // The process-wide controller, created on first use and never destroyed.
    static CloudController& instance();

    // Registers "frameEstimate", "download", "cancel", "setOrigin" and "getInit" on the bridge; pushed messages
    // go out through that bridge unless a page sender was set.
    void registerHandlers(bridge::Bridge& bridge);
    // Routes pushed messages through the palette's own send instead of the registered bridge.
    void setPageSender(PageSender sender) { pageSender_ = std::move(sender); }

    nlohmann::json onFrameEstimate(const nlohmann::json& msg);
    nlohmann::json onDownload(const nlohmann::json& msg);
    nlohmann::json onCancel(const nlohmann::json& msg);
    nlohmann::json onSetOrigin(const nlohmann::json& msg);
    nlohmann::json onGetInit(const nlohmann::json& msg);

    // Marks the controller busy, announces the download and starts its worker (main thread). Throws
    // std::system_error when no thread can be started; the controller is then idle again.
    void startDownload(const geodesy::Bbox& frame, Detail detail, int zoneEpsg, double originE, double originN,
                       double originZ, bool useOrigin);

    net::WfsClient& webClient() { return client_; }
    CloudDownloadOptions& downloadOptions() { return downloadOptions_; }
    double density() const { return density_.load(); }
    bool busy() const { return busy_; }

private:
    void finishDownload(const CloudResult& result);
    void send(const std::string& type, const nlohmann::json& payload);

    net::WfsClient client_;
    std::atomic<double> density_{12.0};
    std::atomic<std::uint64_t> estimateGeneration_{0};
    std::atomic<bool> cancelRequested_{false};
    bool busy_ = false;

    CloudDownloadOptions downloadOptions_;
    bridge::Bridge* bridge_ = nullptr;
    PageSender pageSender_;
};

}  // namespace cloudui
