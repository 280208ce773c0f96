// One request as the simulator sees it (already unwrapped from the routed form) and the answer it builds.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct SimRequest {
    std::string method;
    std::string scheme;                                        // "https" or "http": the scheme of the original URL
    std::string host;                                          // the original host (may carry ":port")
    std::string path;                                          // the original path, starting with "/"
    std::string query;                                         // the raw query text, without "?"
    std::vector<std::pair<std::string, std::string>> params;   // decoded query parameters in order
    std::vector<std::pair<std::string, std::string>> headers;  // request headers in order
    std::string body;
    // A fault's page limit for paged services and their paging ("geoserver", "mapserver", "none"; "": the
    // service's own); 0: the service's own page size.
    int faultPageLimit = 0;
    std::string faultPaging;

    // Value of a query parameter, name compared without case (OGC keys are case-insensitive); "" when absent.
    std::string param(const std::string& name) const;
    bool hasParam(const std::string& name) const;
    // Value of a header, name compared without case; "" when absent.
    std::string header(const std::string& name) const;
};

// Produces `length` bytes of a body starting at `offset` (for large generated downloads).
using BodyGenerator = std::function<std::string(long long offset, std::size_t length)>;

struct SimResponse {
    int status = 200;
    std::string contentType = "text/plain";
    std::string body;
    // When set, the body is streamed from the generator with this Content-Length instead of `body`.
    BodyGenerator generator;
    long long generatedLength = 0;  // negative: stream -generatedLength bytes without announcing a length
    std::vector<std::pair<std::string, std::string>> headers;
};

// Decodes %XX and "+" of a query component.
std::string percentDecode(const std::string& text);
// Splits "a=1&b=2" into decoded pairs.
std::vector<std::pair<std::string, std::string>> parseQuery(const std::string& query);
// Case-insensitive ASCII comparison.
bool equalsNoCase(const std::string& a, const std::string& b);

}  // namespace sim
