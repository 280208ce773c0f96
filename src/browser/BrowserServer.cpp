#include "browser/BrowserServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <array>
#include <fstream>
#include <random>
#include <sstream>

#include <httplib.h>

#include "browser/detail/ElasticPool.h"
#include "browser/detail/RequestChecks.h"
#include "platform/Numbers.h"

namespace browser {

namespace {

std::string makeSecret() {
    std::random_device device;  // the kernel's random source
    std::ostringstream out;
    for (int i = 0; i < 4; ++i) {
        char buf[9];
        std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(device()));
        out << buf;
    }
    return out.str();
}

// The HTTP library listens with a queue of 5 connections; a burst of clients beyond it would each wait a second
// for the kernel's retry. Listening again on the same socket (found by its port) only widens the queue.
void widenBacklog(int port) {
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
        long long number = -1;
        if (!platform::parseInt(entry.path().filename().string(), number)) continue;
        const int fd = static_cast<int>(number);
        sockaddr_in address{};
        socklen_t length = sizeof address;
        int listening = 0;
        socklen_t size = sizeof listening;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0 || address.sin_family != AF_INET ||
            ntohs(address.sin_port) != port || ::getsockopt(fd, SOL_SOCKET, SO_ACCEPTCONN, &listening, &size) != 0 ||
            !listening)
            continue;
        ::listen(fd, 512);
        return;
    }
}

const char* contentType(const std::filesystem::path& file) {
    const std::string ext = file.extension().string();
    if (ext == ".html") return "text/html; charset=utf-8";
    if (ext == ".js" || ext == ".mjs") return "text/javascript; charset=utf-8";
    if (ext == ".css") return "text/css; charset=utf-8";
    if (ext == ".png") return "image/png";
    if (ext == ".svg") return "image/svg+xml";
    if (ext == ".json") return "application/json";
    return "application/octet-stream";
}

bool readFile(const std::filesystem::path& file, std::string& out) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream buf;
    buf << in.rdbuf();
    out = buf.str();
    return true;
}

// Puts the browser's own script in front of the page's scripts.
std::string withBrowserScript(std::string html) {
    const std::string tag = "<script src=\"__browser.js\"></script>";
    const auto head = html.find("<head>");
    if (head == std::string::npos) return tag + html;
    html.insert(head + 6, tag);
    return html;
}

// Delivers queued scripts once the page's own scripts have run; opens GIS-like objects once the stream is open, as
// the host registers them after the page has started. Only one page of a channel is served at a time: the one
// whose stream opened last. An older page is told ("replaced") and stops.
const char* kStreamScript = R"JS(
(function () {
  var base = location.pathname.replace(/[^/]*$/, '');
  var chain = Promise.resolve();
  var stream = '0';
  var early = [];
  var started = document.readyState !== 'loading';
  function run(script) {
    try { (0, eval)(script); } catch (e) { console.error('ExecuteJS', e); }
  }
  if (!started) {
    document.addEventListener('DOMContentLoaded', function () {
      started = true;
      early.splice(0).forEach(run);
    });
  }
  function call(o, f, args) {
    var body = JSON.stringify(Array.prototype.slice.call(args));
    chain = chain.then(function () {
      return fetch(base + '__call?o=' + encodeURIComponent(o) + '&f=' + encodeURIComponent(f) + '&s=' + stream,
                   {method: 'POST', headers: {'Content-Type': 'application/json'}, body: body});
    }).catch(function (e) { console.error('bridge', e); });
  }
  var events = new EventSource(base + '__events');
  events.addEventListener('stream', function (ev) {
    stream = ev.data;
    Object.keys(__objects).forEach(function (o) {
      if (window[o]) return;
      var obj = {};
      __objects[o].forEach(function (f) { obj[f] = function () { call(o, f, arguments); }; });
      window[o] = obj;
    });
  });
  events.addEventListener('replaced', function () {
    events.close();
    window.dispatchEvent(new Event('browser-replaced'));
  });
  events.onmessage = function (ev) {
    if (started) run(ev.data);
    else early.push(ev.data);
  };
  window.addEventListener('load', function () { fetch(base + '__loaded', {method: 'POST'}); });
})();
)JS";

}  // namespace

BrowserServer::BrowserServer(int idleSeconds, std::size_t maxConnections)
    : http_(std::make_unique<httplib::Server>()), secret_(makeSecret()) {
    // A thread a connection, so a silent client never keeps a page waiting; silence ends a connection soon.
    http_->new_task_queue = [maxConnections] { return new detail::ElasticPool(maxConnections); };
    http_->set_keep_alive_timeout(idleSeconds);
    http_->set_read_timeout(idleSeconds, 0);
    http_->set_write_timeout(5, 0);
    installRoutes();
}

BrowserServer::~BrowserServer() { stop(); }

bool BrowserServer::start(int port) {
    port_ = port == 0 ? http_->bind_to_any_port("127.0.0.1") : (http_->bind_to_port("127.0.0.1", port) ? port : -1);
    if (port_ <= 0) return false;
    widenBacklog(port_);
    thread_ = std::thread([this] { http_->listen_after_bind(); });
    return true;
}

void BrowserServer::stop() {
    stopping_ = true;
    if (thread_.joinable()) {
        http_->stop();
        thread_.join();
    }
}

std::string BrowserServer::baseAddress() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + secret_ + "/";
}

BrowserChannel& BrowserServer::channel(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& slot = channels_[name];
    if (!slot) slot = std::make_unique<BrowserChannel>(*this, name);
    return *slot;
}

BrowserChannel* BrowserServer::findChannel(const std::string& name) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = channels_.find(name);
    return it == channels_.end() ? nullptr : it->second.get();
}

void BrowserServer::mount(const std::string& name, const std::filesystem::path& folder) {
    std::lock_guard<std::mutex> lock(mutex_);
    mounts_[name] = folder;
}

bool BrowserServer::mountFolder(const std::string& name, std::filesystem::path& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = mounts_.find(name);
    if (it == mounts_.end()) return false;
    out = it->second;
    return true;
}

void BrowserServer::setPageSettings(std::string script) {
    std::lock_guard<std::mutex> lock(mutex_);
    pageSettings_ = std::move(script);
}

bool BrowserServer::admits(const std::string& method, const std::string& path, const std::string& host,
                           const std::string& origin, const std::string& fetchSite) const {
    return detail::admitted(detail::RequestParts{method, path, host, origin, fetchSite}, port_, secret_);
}

void BrowserServer::installRoutes() {
    http_->set_payload_max_length(64u << 20);
    http_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        const auto header = [&](const char* name) { return req.has_header(name) ? req.get_header_value(name) : ""; };
        if (admits(req.method, req.path, header("Host"), header("Origin"), header("Sec-Fetch-Site"))) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        res.status = 403;
        res.set_content("odmowa", "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
    // Nothing the pages load may carry the secret elsewhere, and no other site may frame them.
    http_->set_post_routing_handler([](const httplib::Request&, httplib::Response& res) {
        res.set_header("Referrer-Policy", "no-referrer");
        res.set_header("X-Content-Type-Options", "nosniff");
        res.set_header("Cache-Control", "no-store");
        res.set_header("Content-Security-Policy", "frame-ancestors 'self'");
    });

    http_->Get(R"(/[^/]+/([^/]+)/(.*))", [this](const httplib::Request& req, httplib::Response& res) {
        const std::string mountName = req.matches[1];
        const std::string rest = req.matches[2];
        BrowserChannel* ch = findChannel(mountName);
        if (rest == "__browser.js") {
            std::string settings;
            {
                std::lock_guard<std::mutex> lock(mutex_);
                settings = pageSettings_;
            }
            const std::string objects = ch ? ch->objectScript() : "var __objects = {};";
            res.set_content(settings + "\n" + objects + kStreamScript, "text/javascript; charset=utf-8");
            return;
        }
        if (rest == "__events") {
            if (!ch) {
                res.status = 404;
                return;
            }
            res.set_header("X-Accel-Buffering", "no");
            // An EventSource that reconnects sends the id of its stream's first event back.
            long long resumed = 0;
            if (!platform::parseInt(req.get_header_value("Last-Event-ID"), resumed) || resumed < 0) resumed = 0;
            const std::uint64_t stream = ch->openStream(static_cast<std::uint64_t>(resumed));
            if (stream == 0) {
                // The stream of a page that another page has replaced while it was away: told, not served.
                res.set_content("event: replaced\ndata: 1\n\n", "text/event-stream");
                return;
            }
            auto told = std::make_shared<bool>(false);
            res.set_chunked_content_provider(
                "text/event-stream", [this, ch, stream, told](std::size_t, httplib::DataSink& sink) {
                    if (!*told) {
                        *told = true;
                        const std::string hello = "id: " + std::to_string(stream) +
                                                  "\nevent: stream\ndata: " + std::to_string(stream) + "\n\n";
                        if (!sink.write(hello.data(), hello.size())) return false;
                    }
                    bool current = true;
                    std::deque<std::string> scripts = ch->takeScripts(stream, std::chrono::milliseconds(500), current);
                    if (stopping_) return false;
                    if (!current) {
                        // Another page of this channel opened: this one stops instead of reconnecting.
                        const std::string replaced = "event: replaced\ndata: 1\n\n";
                        sink.write(replaced.data(), replaced.size());
                        return false;
                    }
                    if (scripts.empty()) {
                        const std::string ping = ": ping\n\n";
                        return sink.write(ping.data(), ping.size());
                    }
                    while (!scripts.empty()) {
                        std::string event;
                        std::istringstream lines(scripts.front());
                        for (std::string line; std::getline(lines, line);) event += "data: " + line + "\n";
                        event += "\n";
                        if (!sink.write(event.data(), event.size())) {
                            ch->returnScripts(std::move(scripts));
                            return false;
                        }
                        scripts.pop_front();
                    }
                    return true;
                });
            return;
        }
        std::filesystem::path root;
        std::filesystem::path file;
        if (!mountFolder(mountName, root) || !detail::resolveInside(root, rest, file)) {
            res.status = 404;
            if (ch) ch->pageMissing(404, rest);
            return;
        }
        std::string body;
        if (!readFile(file, body)) {
            res.status = 404;
            if (ch) ch->pageMissing(404, rest);
            return;
        }
        if (file.extension() == ".html") body = withBrowserScript(std::move(body));
        res.set_content(std::move(body), contentType(file));
    });

    http_->Post(R"(/[^/]+/([^/]+)/(__call|__loaded))", [this](const httplib::Request& req, httplib::Response& res) {
        BrowserChannel* ch = findChannel(req.matches[1]);
        if (!ch) {
            res.status = 404;
            return;
        }
        if (req.matches[2] == "__loaded") {
            ch->pageLoaded();
        } else {
            std::uint64_t stream = 0;
            try {
                stream = std::stoull(req.get_param_value("s"));
            } catch (const std::exception&) {
                stream = 0;
            }
            // Only the page that holds the channel's stream may call the add-on.
            if (!ch->call(stream, req.get_param_value("o"), req.get_param_value("f"), req.body)) {
                res.status = 409;
                return;
            }
        }
        res.status = 204;
    });
}

}  // namespace browser
