#include "net/WfsClient.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "net/UrlText.h"
#include "platform/Numbers.h"

namespace net {

namespace {
std::int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Header values never carry line breaks: they would smuggle extra header lines into the request.
std::string headerValue(const std::string& value) {
    std::string out;
    for (char c : value)
        if (c != '\r' && c != '\n') out += c;
    return out;
}
}  // namespace

void WfsClient::waitForHost(const std::string& host) {
    const auto found = lastRequestByHost.find(host);
    if (found != lastRequestByHost.end()) {
        const std::int64_t wait = found->second + options.hostIntervalMs - monotonicMs();
        if (wait > 0) std::this_thread::sleep_for(std::chrono::milliseconds(wait));
    }
    lastRequestByHost[host] = monotonicMs();
}

HttpResponse WfsClient::request(const std::string& method, const std::string& url, const std::string& body,
                                const std::string& contentType, int receiveTimeoutMs) {
    waitForHost(hostOfUrl(url));
    if (std::getenv("GIS_DEBUG_HTTP") != nullptr)
        std::fputs(("[http] " + method + " " + url.substr(0, 120) + "\n").c_str(), stderr);
    std::string headers;
    if (!contentType.empty()) headers += "Content-Type: " + headerValue(contentType) + "\r\n";
    if (!options.accessToken.empty()) headers += "Authorization: Bearer " + headerValue(options.accessToken) + "\r\n";
    HttpResult result =
        performRequest(method, url, headers, body, options.connectTimeoutMs, receiveTimeoutMs, options.userAgent);
    HttpResponse response;
    response.status = static_cast<int>(result.status);
    response.body = std::move(result.body);
    response.error = std::move(result.error);
    return response;
}

HttpResponse WfsClient::get(const std::string& url) {
    HttpResponse first = request("GET", url, {}, {}, options.defaultReceiveTimeoutMs);
    if ((first.status >= 200 && first.status <= 299) || (first.status >= 400 && first.status <= 499)) return first;
    std::this_thread::sleep_for(std::chrono::milliseconds(options.retryDelayMs));
    return request("GET", url, {}, {}, options.defaultReceiveTimeoutMs);
}

HttpResponse WfsClient::getWithTimeout(const std::string& url, int receiveTimeoutMs) {
    return request("GET", url, {}, {}, receiveTimeoutMs);
}

HttpResponse WfsClient::postJson(const std::string& url, const std::string& jsonBody) {
    return request("POST", url, jsonBody, "application/json", options.defaultReceiveTimeoutMs);
}

}  // namespace net
