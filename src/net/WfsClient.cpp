#include "net/WfsClient.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "formats/gml/XmlEncoding.h"
#include "net/UrlText.h"
#include "platform/Numbers.h"

namespace net {

namespace {
std::int64_t monotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool looksLikeXml(const std::string& body) {
    const std::size_t first = body.find_first_not_of(" \t\r\n");
    return first != std::string::npos && body[first] == '<';
}

// Header values never carry line breaks: they would smuggle extra header lines into the request.
std::string headerValue(const std::string& value) {
    std::string out;
    for (char c : value)
        if (c != '\r' && c != '\n') out += c;
    return out;
}
}  // namespace

bool mayCarryAccessToken(const std::string& url) {
    const auto schemeEnd = url.find("://");
    if (schemeEnd != 5) return false;
    for (std::size_t i = 0; i < 5; ++i)
        if (std::tolower(static_cast<unsigned char>(url[i])) != "https"[i]) return false;
    std::string host = hostOfUrl(url);
    // A user part ("geoportal.gov.pl@elsewhere") would name another host than it seems to.
    if (host.find('@') != std::string::npos) return false;
    const auto query = host.find_first_of("?#");
    if (query != std::string::npos) host.resize(query);
    if (host.size() > 4 && host.compare(host.size() - 4, 4, ":443") == 0) host.resize(host.size() - 4);
    for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!host.empty() && host.back() == '.') host.pop_back();
    const std::string domain = "geoportal.gov.pl";
    return host == domain || (host.size() > domain.size() + 1 &&
                              host.compare(host.size() - domain.size() - 1, std::string::npos, "." + domain) == 0);
}

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
    // The token is the geoportal's: geocoders, counties and anything on plain http never see it.
    if (!options.accessToken.empty() && mayCarryAccessToken(url))
        headers += "Authorization: Bearer " + headerValue(options.accessToken) + "\r\n";
    HttpResponse response;
    if (cancelRequested()) {
        response.error = "Pobieranie anulowane.";
        return response;
    }
    TransferLimits limits;
    limits.deadlineMs =
        options.requestDeadlineMs > 0 ? options.requestDeadlineMs : std::max(60000, 4 * std::max(receiveTimeoutMs, 0));
    limits.cancelled = options.cancelQuery;
    HttpResult result = performRequest(method, url, headers, body, options.connectTimeoutMs, receiveTimeoutMs,
                                       options.userAgent, limits);
    response.status = static_cast<int>(result.status);
    response.body = std::move(result.body);
    response.error = std::move(result.error);
    response.contentType = std::move(result.contentType);
    // XML answers (features, capabilities, planning acts, tile indexes) are read as UTF-8 everywhere: one in a
    // declared 8-bit encoding is converted here, before anything scans, parses or caches it.
    if (looksLikeXml(response.body))
        gml::convertXmlToUtf8(response.body, gml::charsetOfContentType(response.contentType));
    return response;
}

HttpResponse WfsClient::get(const std::string& url) {
    HttpResponse first = request("GET", url, {}, {}, options.defaultReceiveTimeoutMs);
    if ((first.status >= 200 && first.status <= 299) || (first.status >= 400 && first.status <= 499)) return first;
    if (cancelRequested()) return first;
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
