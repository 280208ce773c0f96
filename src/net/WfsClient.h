// The paced, cached HTTP client every service request of the add-on goes through (WFS, WMS, tile indexes,
// planning register, address search, downloads). The name is historical: it is not limited to WFS.
// It adds the user agent and bearer token, spaces request starts to one host, retries a failed GET once,
// builds OGC request URLs, and keeps answers and downloads in the download cache.
#pragma once
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <string>

#include "geodesy/Bbox.h"
#include "net/AnswerCheck.h"
#include "net/Capabilities.h"
#include "net/HttpExchange.h"
#include "net/HttpResponse.h"
#include "platform/Progress.h"

namespace net {

// Progress of a streamed download: (bytes done, bytes total or 0); false cancels.
using ProgressCallback = platform::ProgressCallback;
// Progress of a tiled WFS fetch: (tiles done, tiles total).
using TileProgressCallback = std::function<void(int done, int total)>;

// How a tiled WFS fetch went: how many tiles it planned, how many never gave a usable answer, and what the
// server held back beyond its page size when neither its paging nor smaller tiles brought it.
struct TiledFetchOutcome {
    int tiles = 0;
    int failed = 0;
    bool refused = false;           // the frame needed more tiles than allowed: nothing was requested
    bool cancelled = false;         // stopped by the cancel query; the rest of the tiles count as failed
    long long missingFeatures = 0;  // features the server counted (numberMatched) but never handed over
    int cutTiles = 0;               // tiles whose answers stayed cut at the page size without a count of the rest
};

// True when a request to this URL may carry the access token: https to the national geoportal's own hosts.
bool mayCarryAccessToken(const std::string& url);

class WfsClient {
public:
    // Everything that configures a client; a copy of it makes a client that behaves the same.
    // The defaults are the production values, tests shorten them.
    struct Options {
        std::string accessToken;  // sent as "Authorization: Bearer ..." to the national geoportal over https only
        std::string userAgent = "TERRAVOX/0.1 (archicad-addon)";
        int hostIntervalMs = 1000;            // minimum spacing of request starts to one host
        int retryDelayMs = 500;               // pause before get's single retry
        int defaultReceiveTimeoutMs = 15000;  // receive time-out of get and postJson
        int connectTimeoutMs = kConnectTimeoutMs;
        int tileSizeMetres = 500;        // edge of one fetchWfsTiled tile
        std::filesystem::path cacheDir;  // empty: the per-user cache folder (cacheDirectory())
        // Longest time one whole-answer request may take however the bytes trickle in; 0: four times its
        // receive time-out, at least a minute.
        int requestDeadlineMs = 0;
        // Most tiles one tiled WFS fetch may plan; a larger frame is refused before any request.
        int maxWfsTiles = 1600;
        // Asked between requests and during transfers; true ends the work as cancelled.
        std::function<bool()> cancelQuery;
    };

    WfsClient() = default;
    explicit WfsClient(Options settings) : options(std::move(settings)) {}

    Options options;
    std::map<std::string, std::int64_t> lastRequestByHost;      // monotonic ms of the last request start per host
    std::map<std::string, ResultPaging> resultPagingByService;  // what each WFS's capabilities state, read once

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
    static std::string buildWfsUrl(const std::string& baseUrl, const std::string& typeName, const geodesy::Bbox& box,
                                   int count, int startIndex, bool northingFirst, bool wfs110, int epsg);
    // WMS 1.1.1 GetMap URL for a PNG (box already in the target system).
    static std::string buildWmsUrl(const std::string& baseUrl, const std::string& layers, const geodesy::Bbox& box,
                                   int width, int height, int epsg);

    // Fetches a WFS layer over a grid of tiles (each page cached) and merges their members into one collection.
    // A tile cut at the server's page size is continued through its `next` link or, where the capabilities
    // allow it, STARTINDEX; otherwise it is split into quarters. A feature crossing tile edges comes once per
    // tile: callers merge by identity. Only whole feature collections are used and cached; `outcome`
    // (optional) tells what was lost.
    std::string fetchWfsTiled(const std::string& baseUrl, const std::string& typeName, const geodesy::Bbox& box,
                              const TileProgressCallback& progress, bool northingFirst, bool wfs110, int epsg,
                              TiledFetchOutcome* outcome = nullptr);
    // The paging a WFS states in its capabilities (asked once per service and remembered; nothing stated when
    // they do not come).
    ResultPaging resultPagingOf(const std::string& baseUrl);
    // Tiles a box needs at the client's tile size (a double: an absurd box must not overflow).
    double wfsTileCount(const geodesy::Bbox& box) const;
    // A text answer of the kind asked for, served from the cache or fetched once and cached; empty when
    // nothing usable came. A cached entry that is not of the kind is dropped and fetched again.
    std::string getCachedText(const std::string& url, int receiveTimeoutMs, AnswerKind kind = AnswerKind::any);
    // A downloaded file in the cache (streamed through a ".part" file); empty path with `error` set on failure.
    // The file must start as the kind says; a cached one that does not is dropped and fetched again.
    std::string getCachedFile(const std::string& url, const ProgressCallback& progress, int receiveTimeoutMs,
                              std::string& error, AnswerKind kind = AnswerKind::any);
    // Cache file of a URL: 40 hex digits of its SHA-1 plus "." and the extension ("bin" when empty).
    std::string cachePathFor(const std::string& url, const std::string& extension = "bin");
    // The cache folder in use (options.cacheDir, or the per-user folder).
    std::filesystem::path cacheFolder();
    // Whether the cancel query asks to stop.
    bool cancelRequested() const { return options.cancelQuery && options.cancelQuery(); }
};

// Streamed progress is reported at most every this many ms (or every 1 % of the total).
constexpr int kProgressIntervalMs = 200;
// Receive time-outs of the callers.
constexpr int kSuggestTimeoutMs = 4000;
constexpr int kCachedTextTimeoutMs = 240000;
constexpr int kLidarTimeoutMs = 240000;
constexpr int kPackageTimeoutMs = 600000;

}  // namespace net
