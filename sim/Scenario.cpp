#include "Scenario.h"

#include <mutex>

#include "WfsService.h"
#include "WmsService.h"

namespace sim {

namespace {
bool matchesPattern(const std::string& pattern, const std::string& value) {
    if (pattern.empty() || pattern == "*") return true;
    if (pattern.back() == '*') return value.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
    return pattern == value;
}
}  // namespace

char generatedByte(long long offset) { return static_cast<char>('a' + (offset * 7 + offset / 251) % 26); }

void Scenario::addHandler(const std::string& host, const std::string& path, SimHandler handler) {
    std::unique_lock lock(mutex_);
    routes_.push_back({host, path, std::move(handler)});
}

void Scenario::addText(const std::string& host, const std::string& path, const std::string& body,
                       const std::string& contentType, const std::string& method) {
    addHandler(host, path, [=](const SimRequest& request, SimResponse& response) {
        if (!method.empty() && request.method != method) return false;
        response.contentType = contentType;
        response.body = body;
        return true;
    });
}

void Scenario::addFile(const std::string& host, const std::string& path, const std::string& bytes,
                       const std::string& contentType) {
    addText(host, path, bytes, contentType, "GET");
}

void Scenario::addGeneratedFile(const std::string& host, const std::string& path, long long size) {
    addHandler(host, path, [size](const SimRequest& request, SimResponse& response) {
        if (request.method != "GET") return false;
        response.contentType = "application/zip";
        response.generatedLength = size;  // a negative size streams without a Content-Length
        response.generator = [](long long offset, std::size_t length) {
            std::string chunk(length, '\0');
            for (std::size_t i = 0; i < length; ++i) chunk[i] = generatedByte(offset + static_cast<long long>(i));
            return chunk;
        };
        return true;
    });
}

void Scenario::addWfs(const std::string& host, const std::string& path, std::shared_ptr<WfsService> service) {
    addWfs(host, path, service,
           [service](const SimRequest& request, SimResponse& response) { return service->handle(request, response); });
}

void Scenario::addWfs(const std::string& host, const std::string& path, std::shared_ptr<WfsService> service,
                      SimHandler front) {
    addHandler(host, path, std::move(front));
    std::unique_lock lock(mutex_);
    wfs_.push_back({host, path, std::move(service)});
}

std::shared_ptr<WfsService> Scenario::wfsAt(const std::string& host, const std::string& path) const {
    std::shared_lock lock(mutex_);
    for (auto it = wfs_.rbegin(); it != wfs_.rend(); ++it)
        if (it->host == host && it->path == path) return it->service;
    return nullptr;
}

void Scenario::addWms(const std::string& host, const std::string& path, std::shared_ptr<WmsService> service) {
    addHandler(host, path, [service](const SimRequest& request, SimResponse& response) {
        return service->handle(request, response);
    });
}

bool Scenario::handle(const SimRequest& request, SimResponse& response) const {
    std::shared_lock lock(mutex_);
    for (auto it = routes_.rbegin(); it != routes_.rend(); ++it) {
        if (!matchesPattern(it->host, request.host) || !matchesPattern(it->path, request.path)) continue;
        SimResponse candidate;
        if (it->handler(request, candidate)) {
            response = std::move(candidate);
            return true;
        }
    }
    return false;
}

}  // namespace sim
