#include "SimServer.h"

#include <httplib.h>

#include <chrono>
#include <functional>

#include "WfsService.h"
#include "WmsService.h"
#include "platform/Numbers.h"

namespace sim {

namespace {
std::int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Splits "/https/host/rest?query" into the original request; false for any other shape.
bool unwrapRoutedTarget(const std::string& target, SimRequest& out) {
    const auto queryStart = target.find('?');
    const std::string path = target.substr(0, queryStart);
    out.query = queryStart == std::string::npos ? std::string() : target.substr(queryStart + 1);
    if (path.size() < 2 || path[0] != '/') return false;
    const auto schemeEnd = path.find('/', 1);
    if (schemeEnd == std::string::npos) return false;
    out.scheme = path.substr(1, schemeEnd - 1);
    if (out.scheme != "https" && out.scheme != "http") return false;
    const auto hostEnd = path.find('/', schemeEnd + 1);
    out.host = path.substr(schemeEnd + 1, hostEnd == std::string::npos ? std::string::npos : hostEnd - schemeEnd - 1);
    if (out.host.empty()) return false;
    out.path = hostEnd == std::string::npos ? "/" : path.substr(hostEnd);
    out.params = parseQuery(out.query);
    return true;
}

void sendAnswer(const SimResponse& answer, long long truncateAfter, int trickleMs,
                const std::function<void(int)>& pause, httplib::Response& res) {
    res.status = answer.status;
    for (const auto& [key, value] : answer.headers) res.set_header(key, value);
    const long long length = answer.generator ? answer.generatedLength : static_cast<long long>(answer.body.size());
    if (!answer.generator && truncateAfter < 0 && trickleMs <= 0) {
        res.set_content(answer.body, answer.contentType);
        return;
    }
    if (answer.generator && answer.generatedLength < 0) {
        // No announced length: chunked transfer of a generated body of `-generatedLength` bytes.
        const BodyGenerator generator = answer.generator;
        const long long total = -answer.generatedLength;
        res.set_chunked_content_provider(answer.contentType,
                                         [generator, total](std::size_t offset, httplib::DataSink& sink) {
                                             const long long at = static_cast<long long>(offset);
                                             if (at >= total) {
                                                 sink.done();
                                                 return true;
                                             }
                                             const auto n = static_cast<std::size_t>(std::min(total - at, 65536LL));
                                             const std::string chunk = generator(at, n);
                                             sink.write(chunk.data(), chunk.size());
                                             return true;
                                         });
        return;
    }
    // Streamed: either a generated body or one cut short after announcing its full length.
    const auto body = std::make_shared<std::string>(answer.body);
    const BodyGenerator generator = answer.generator;
    const long long limit = truncateAfter < 0 ? length : std::min(truncateAfter, length);
    const long long piece = trickleMs > 0 ? 1024 : 65536;
    res.set_content_provider(static_cast<std::size_t>(length), answer.contentType,
                             [body, generator, limit, piece, trickleMs, pause](std::size_t offset, std::size_t size,
                                                                               httplib::DataSink& sink) {
                                 const long long at = static_cast<long long>(offset);
                                 if (at >= limit) return false;  // closes the connection mid-body
                                 if (trickleMs > 0 && at > 0) pause(trickleMs);
                                 const std::size_t n = static_cast<std::size_t>(
                                     std::min<long long>({static_cast<long long>(size), limit - at, piece}));
                                 if (generator) {
                                     const std::string chunk = generator(at, n);
                                     sink.write(chunk.data(), chunk.size());
                                 } else {
                                     sink.write(body->data() + offset, n);
                                 }
                                 return true;
                             });
}
}  // namespace

SimServer::SimServer(std::shared_ptr<Scenario> scenario) : scenario_(std::move(scenario)) {}

SimServer::~SimServer() { stop(); }

std::string SimServer::baseUrl() const { return "http://127.0.0.1:" + platform::cformat("%d", port_); }

void SimServer::pause(int ms) {
    std::unique_lock lock(stopMutex_);
    stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopping_; });
}

bool SimServer::start(int port) {
    server_ = std::make_unique<httplib::Server>();
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
    server_->set_keep_alive_max_count(100);
    installRoutes();
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = false;
    }
    if (port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
        if (port_ <= 0) return false;
    } else {
        if (!server_->bind_to_port("127.0.0.1", port)) return false;
        port_ = port;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // A stop before the accept loop runs would be lost, so start returns only once it runs.
    while (!server_->is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void SimServer::stop() {
    {
        std::lock_guard lock(stopMutex_);
        stopping_ = true;
    }
    stopSignal_.notify_all();
    if (server_) server_->stop();
    if (thread_.joinable()) thread_.join();
    server_.reset();
}

void SimServer::installRoutes() {
    httplib::Server& s = *server_;
    s.Get("/__log", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(log_.toJson().dump(), "application/json");
    });
    s.Delete("/__log", [this](const httplib::Request&, httplib::Response& res) {
        log_.clear();
        res.set_content("{}", "application/json");
    });
    s.Post("/__faults", [this](const httplib::Request& req, httplib::Response& res) {
        const auto json = nlohmann::json::parse(req.body, nullptr, false);
        try {
            if (json.is_array()) {
                for (const auto& item : json) faults_.add(FaultPlan::fromJson(item));
            } else if (json.is_object()) {
                faults_.add(FaultPlan::fromJson(json));
            } else {
                throw std::invalid_argument("not a JSON object");
            }
            res.set_content("{}", "application/json");
        } catch (const std::exception& e) {
            res.status = 400;
            res.set_content(std::string("{\"error\":\"invalid fault\"}"), "application/json");
        }
    });
    s.Delete("/__faults", [this](const httplib::Request&, httplib::Response& res) {
        faults_.clear();
        res.set_content("{}", "application/json");
    });
    s.Get("/__health", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });

    const auto routed = [this](const httplib::Request& req, httplib::Response& res) {
        SimRequest request;
        request.method = req.method;
        request.body = req.body;
        for (const auto& [key, value] : req.headers) {
            // The server library files the peer's addresses among the headers; they were never sent.
            if (key == "LOCAL_ADDR" || key == "LOCAL_PORT" || key == "REMOTE_ADDR" || key == "REMOTE_PORT") continue;
            request.headers.emplace_back(key, value);
        }
        LoggedRequest entry;
        entry.startMs = monotonicMs();
        if (!unwrapRoutedTarget(req.target, request)) {
            res.status = 404;
            res.set_content("not a routed request: expected /https/<host>/<path>", "text/plain");
            return;
        }
        entry.method = request.method;
        entry.scheme = request.scheme;
        entry.host = request.host;
        entry.path = request.path;
        entry.query = request.query;
        entry.headers = request.headers;
        entry.body = request.body;
        const std::size_t index = log_.add(std::move(entry));

        const auto fault = faults_.take(request.host, request.path);
        if (fault && fault->delayMs > 0) pause(fault->delayMs);
        SimResponse answer;
        if (fault && fault->status != 0) {
            answer.status = fault->status;
            answer.body = "Symulowany blad " + platform::cformat("%d", fault->status);
        } else if (fault && fault->emptyOk) {
            answer.status = 200;
        } else if (fault && fault->htmlOk) {
            answer.contentType = "text/html; charset=utf-8";
            answer.body =
                "<!DOCTYPE html>\n<html><head><title>Przerwa techniczna</title></head>"
                "<body><h1>Serwis chwilowo niedostepny</h1></body></html>\n";
        } else if (fault && fault->exceptionDocument) {
            answer.contentType = "application/vnd.ogc.se_xml";
            answer.body = equalsNoCase(request.param("request"), "GetMap")
                              ? wmsExceptionReport("InternalError", "Symulowany blad uslugi")
                              : owsExceptionReport("NoApplicableCode", "", "Symulowany blad uslugi");
        } else if (!scenario_->handle(request, answer)) {
            answer.status = 404;
            answer.body = "Brak danych symulatora dla " + request.host + request.path;
        }
        if (fault && fault->cutBodyAt >= 0 && !answer.generator &&
            static_cast<long long>(answer.body.size()) > fault->cutBodyAt)
            answer.body.resize(static_cast<std::size_t>(fault->cutBodyAt));
        if (fault && fault->damageAt >= 0 && !answer.generator) {
            // A fixed scramble, so a damaged sheet is the same in every run.
            for (std::size_t k = static_cast<std::size_t>(fault->damageAt), n = 0; k < answer.body.size() && n < 64;
                 ++k, ++n)
                answer.body[k] = static_cast<char>(answer.body[k] ^ (0x5A + 37 * n));
        }
        log_.setStatus(index, answer.status);
        sendAnswer(
            answer, fault ? fault->truncateAfter : -1, fault ? fault->trickleMs : 0, [this](int ms) { pause(ms); },
            res);
    };
    const char* any = R"(/.*)";
    s.Get(any, routed);
    s.Post(any, routed);
    s.Put(any, routed);
    s.Delete(any, routed);
    s.Options(any, routed);
    s.Patch(any, routed);
}

}  // namespace sim
