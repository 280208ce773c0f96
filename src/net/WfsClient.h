// The add-on's web client: user agent, bearer token, per-host pacing, OGC request URLs and the download cache.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "net/HttpExchange.h"

// Answer of a WfsClient request.
struct HttpResponse {
    int status = 0;     // HTTP status, 0 when none arrived
    std::string body;   // the whole body, also for non-2xx answers
    std::string error;  // empty when the exchange itself worked
};

// Progress of a streamed download: (bytes done, bytes total or 0); false cancels.
using ProgressCallback = std::function<bool(long long done, long long total)>;
// Progress of a tiled WFS fetch: (tiles done, tiles total).
using TileProgressCallback = std::function<void(int done, int total)>;

class WfsClient {
public:
    WfsClient();

    std::string accessToken;                                // sent as "Authorization: Bearer ..." when non-empty
    std::string userAgent;                                  // "TERRAVOX/0.1 (archicad-addon)"
    std::map<std::string, std::int64_t> lastRequestByHost;  // monotonic ms of the last request start per host

    // Tunables; the defaults are the production values, tests shorten them.
    int hostIntervalMs = 1000;            // minimum spacing of request starts to one host
    int retryDelayMs = 500;               // pause before get's single retry
    int defaultReceiveTimeoutMs = 15000;  // receive time-out of get and postJson
    int connectTimeoutMs = kConnectTimeoutMs;
    int tileSizeMetres = 500;        // edge of one fetchWfsTiled tile
    std::filesystem::path cacheDir;  // empty: the per-user cache folder (cacheDirectory())

    // One paced request with optional body and content type.
    HttpResponse request(const std::string& method, const std::string& url, const std::string& body,
                         const std::string& contentType, int receiveTimeoutMs);
    // GET with one retry after a pause unless the status is 2xx or 4xx.
    HttpResponse get(const std::string& url);
    // One GET with the given receive time-out, no retry.
    HttpResponse getWithTimeout(const std::string& url, int receiveTimeoutMs);
    // One POST of a JSON body, no retry.
    HttpResponse postJson(const std::string& url, const std::string& jsonBody);
    // Sleeps until a request to `host` may start, then records the start.
    void waitForHost(const std::string& host);

    // WFS GetFeature URL (box in PL-1992 metres; transformed when epsg is a PL-2000 zone).
    static std::string buildWfsUrl(const std::string& baseUrl, const std::string& typeName, double minX, double minY,
                                   double maxX, double maxY, int count, int startIndex, bool northingFirst, bool wfs110,
                                   int epsg);
    // WMS 1.1.1 GetMap URL for a PNG (box already in the target system).
    static std::string buildWmsUrl(const std::string& baseUrl, const std::string& layers, double minX, double minY,
                                   double maxX, double maxY, int width, int height, int epsg);

    // Fetches a WFS layer over a grid of tiles (each cached) and merges their members into one collection.
    std::string fetchWfsTiled(const std::string& baseUrl, const std::string& typeName, double minX, double minY,
                              double maxX, double maxY, const TileProgressCallback& progress, bool northingFirst,
                              bool wfs110, int epsg);
    // A text answer served from the cache or fetched once and cached; empty when nothing came.
    std::string getCachedText(const std::string& url, int receiveTimeoutMs);
    // A downloaded file in the cache (streamed through a ".part" file); empty path with `error` set on failure.
    std::string getCachedFile(const std::string& url, const ProgressCallback& progress, int receiveTimeoutMs,
                              std::string& error);
    // Cache file of a URL: 40 hex digits of its SHA-1 plus "." and the extension ("bin" when empty).
    std::string cachePathFor(const std::string& url, const std::string& extension = "bin");
    // The cache folder in use (cacheDir, or the per-user folder).
    std::filesystem::path cacheFolder();
};

// Streamed progress is reported at most every this many ms (or every 1 % of the total).
constexpr int kProgressIntervalMs = 200;
// Receive time-outs of the callers.
constexpr int kSuggestTimeoutMs = 4000;
constexpr int kCachedTextTimeoutMs = 240000;
constexpr int kLidarTimeoutMs = 240000;
constexpr int kPackageTimeoutMs = 600000;
