// A scenario: the data sets the simulator serves, each bound to a host and a path.
#pragma once
#include <functional>
#include <memory>
#include <shared_mutex>
#include <string>
#include <vector>

#include "SimHttp.h"

namespace sim {

class WfsService;
class WmsService;

// Answers one request; returns false when the request is not one it serves.
using SimHandler = std::function<bool(const SimRequest&, SimResponse&)>;

class Scenario {
public:
    // Binds a handler. Host "*" (or empty) matches any host; a path ending in "*" is a prefix.
    // Routes added later take precedence, so a test can override a scenario's answer.
    void addHandler(const std::string& host, const std::string& path, SimHandler handler);
    // A fixed body for one method ("" = any method).
    void addText(const std::string& host, const std::string& path, const std::string& body,
                 const std::string& contentType, const std::string& method = {});
    // A downloadable file with a Content-Length.
    void addFile(const std::string& host, const std::string& path, const std::string& bytes,
                 const std::string& contentType = "application/octet-stream");
    // A generated file of `size` deterministic bytes, streamed without holding it in memory
    // (a negative size streams -size bytes without a Content-Length).
    void addGeneratedFile(const std::string& host, const std::string& path, long long size);
    // OGC services.
    void addWfs(const std::string& host, const std::string& path, std::shared_ptr<WfsService> service);
    // The same service answered through `front` (a server's own quirks around it), still found by wfsAt.
    void addWfs(const std::string& host, const std::string& path, std::shared_ptr<WfsService> service,
                SimHandler front);
    void addWms(const std::string& host, const std::string& path, std::shared_ptr<WmsService> service);

    // The WFS bound last to exactly this host and path (its store and paging), or null.
    std::shared_ptr<WfsService> wfsAt(const std::string& host, const std::string& path) const;

    // Answers the request from the newest matching route that accepts it; false when none does.
    bool handle(const SimRequest& request, SimResponse& response) const;

private:
    struct Route {
        std::string host;
        std::string path;
        SimHandler handler;
    };
    struct WfsRoute {
        std::string host;
        std::string path;
        std::shared_ptr<WfsService> service;
    };
    mutable std::shared_mutex mutex_;
    std::vector<Route> routes_;
    std::vector<WfsRoute> wfs_;
};

// The byte at `offset` of a generated file (so a test can check what arrived).
char generatedByte(long long offset);

}  // namespace sim
