// The local HTTP server that stands in for the embedded browser's file access and script bridge.
#pragma once
#include <atomic>
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "browser/BrowserChannel.h"

namespace httplib {
class Server;
class Request;
}  // namespace httplib

namespace browser {

// Serves page folders on 127.0.0.1 under a per-run secret: http://127.0.0.1:PORT/SECRET/CHANNEL/FILE.
class BrowserServer {
public:
    // A connection that sends nothing for idleSeconds (between requests, or inside one) is closed; at most
    // maxConnections are served at once.
    explicit BrowserServer(int idleSeconds = 3, std::size_t maxConnections = 512);
    ~BrowserServer();
    BrowserServer(const BrowserServer&) = delete;
    BrowserServer& operator=(const BrowserServer&) = delete;

    // Binds 127.0.0.1:port (0 = any free port) and starts serving; false when the port cannot be bound.
    bool start(int port);
    void stop();
    int port() const { return port_; }
    const std::string& secret() const { return secret_; }
    // "http://127.0.0.1:PORT/SECRET/"
    std::string baseAddress() const;

    // The channel of that name (created on first use; lives as long as the server).
    BrowserChannel& channel(const std::string& name);
    // Serves the folder under the name (a channel's pages are mounted by its LoadURL).
    void mount(const std::string& channel, const std::filesystem::path& folder);
    // Extra script added to every page before the page's own scripts (e.g. service routing).
    void setPageSettings(std::string script);

    // Whether a request with these parts may reach the add-on ("" = header absent). Exposed for tests.
    bool admits(const std::string& method, const std::string& path, const std::string& host, const std::string& origin,
                const std::string& fetchSite) const;

private:
    void installRoutes();
    BrowserChannel* findChannel(const std::string& name);
    bool mountFolder(const std::string& name, std::filesystem::path& out);

    std::unique_ptr<httplib::Server> http_;
    std::thread thread_;
    std::atomic<bool> stopping_{false};
    int port_ = 0;
    std::string secret_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<BrowserChannel>> channels_;
    std::map<std::string, std::filesystem::path> mounts_;
    std::string pageSettings_;
};

}  // namespace browser
