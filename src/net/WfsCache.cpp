// Tiled WFS fetches and the download cache of WfsClient.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>
#include <thread>

#include "net/DownloadCache.h"
#include "net/FeaturePage.h"
#include "net/UrlText.h"
#include "net/WfsClient.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"
#include "platform/ThreadId.h"

using platform::cformat;

namespace net {

namespace fs = std::filesystem;

namespace {
std::atomic<long long> downloadSequence{0};

// Cached answers may hold what the user's token fetched: the user's alone, whatever the umask.
constexpr unsigned kCacheFileMode = 0600;

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = std::move(ss).str();
    return true;
}

// A usable tile answer: a 2xx status, a whole body, and a whole feature collection in it.
bool isUsableTile(const HttpResponse& response) {
    return response.status >= 200 && response.status <= 299 && response.error.empty() &&
           isAnswerOfKind(response.body, AnswerKind::featureCollection);
}

// Where the members of a collection begin: WFS 2.0 "wfs:member", GML 3.1 "gml:featureMember(s)".
std::size_t firstMember(const std::string& text) {
    std::size_t first = std::string::npos;
    for (const char* tag : {"<wfs:member", "<gml:featureMember"}) first = std::min(first, text.find(tag));
    return first;
}

void mergeMembers(std::string& result, const std::string& answer) {
    if (answer.empty()) return;
    if (result.empty()) {
        result = answer;
        return;
    }
    const auto memberStart = firstMember(answer);
    const auto answerEnd = answer.rfind("</");
    const auto resultEnd = result.rfind("</");
    if (memberStart == std::string::npos || answerEnd == std::string::npos || resultEnd == std::string::npos ||
        answerEnd < memberStart)
        return;
    // A self-closed first answer (no features) has no closing tag to insert before: the later one stands.
    if (firstMember(result) == std::string::npos) {
        result = answer;
        return;
    }
    result.insert(resultEnd, answer, memberStart, answerEnd - memberStart);
}

// A cached entry is used only when it is of the kind; one that is not (a previous version cached empty
// answers and error pages) is removed.
bool readCachedEntry(const std::string& path, AnswerKind kind, std::string& out) {
    if (!readWholeFile(path, out)) return false;
    if (isAnswerOfKind(out, kind)) return true;
    std::error_code ignored;
    fs::remove(path, ignored);
    out.clear();
    return false;
}

// The first bytes of a file (enough to tell its kind).
std::string fileHead(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return head;
}
}  // namespace

fs::path WfsClient::cacheFolder() {
    if (options.cacheDir.empty()) return cacheDirectory();
    std::error_code ec;
    if (fs::create_directories(options.cacheDir, ec)) ::chmod(options.cacheDir.c_str(), 0700);
    return options.cacheDir;
}

std::string WfsClient::cachePathFor(const std::string& url, const std::string& extension) {
    return (cacheFolder() / (sha1Hex(url) + "." + (extension.empty() ? std::string("bin") : extension))).string();
}

double WfsClient::wfsTileCount(const geodesy::Bbox& box) const {
    const double step = options.tileSizeMetres;
    const double columns = std::max(std::ceil((box.maxE - box.minE) / step), 1.0);
    const double rows = std::max(std::ceil((box.maxN - box.minN) / step), 1.0);
    return columns * rows;
}

ResultPaging WfsClient::resultPagingOf(const std::string& baseUrl) {
    const auto known = resultPagingByService.find(baseUrl);
    if (known != resultPagingByService.end()) return known->second;
    const HttpResponse caps = getCapabilities(*this, baseUrl, "WFS");
    const ResultPaging paging = caps.status == 200 && caps.error.empty() && isAnswerOfKind(caps.body, AnswerKind::xml)
                                    ? readResultPaging(caps.body)
                                    : ResultPaging{};
    // Remembered also when they did not come: asking again for every tile would double the requests, and
    // without them a cut tile is split, which needs nothing the capabilities say.
    resultPagingByService[baseUrl] = paging;
    return paging;
}

namespace {

// Features asked for in one request (servers may hand over fewer, their page size).
constexpr int kPageCount = 1000;
// Pages one tile may take; a server counting far more in 500 m ignores the box.
constexpr int kMaxPagesPerTile = 50;
// Quarterings of a tile that a server without paging may need (500 m down to 62.5 m).
constexpr int kMaxSplitDepth = 3;

// One tile's pages followed to the end, split where the server neither pages nor says what it holds.
class TileFetch {
public:
    TileFetch(WfsClient& client, const std::string& baseUrl, const std::string& typeName, bool northingFirst,
              bool wfs110, int epsg, TiledFetchOutcome& outcome)
        : client_(client),
          baseUrl_(baseUrl),
          typeName_(typeName),
          northingFirst_(northingFirst),
          wfs110_(wfs110),
          epsg_(epsg),
          outcome_(outcome) {}

    // The merged answers of the tile; false when a page failed (what came before it is kept).
    bool fetch(const geodesy::Bbox& box, int depth, std::string& merged) {
        long long start = 0, got = 0, matched = -1;
        std::string followUrl;  // a next link that names no start index, followed as it stands
        std::size_t previousPage = 0;
        std::string tile;
        for (int page = 0; page < kMaxPagesPerTile; ++page) {
            const std::string url =
                !followUrl.empty() ? followUrl
                                   : WfsClient::buildWfsUrl(baseUrl_, typeName_, box, kPageCount,
                                                            static_cast<int>(start), northingFirst_, wfs110_, epsg_);
            std::string answer;
            if (!pageAnswer(url, answer)) {
                if (matched > got) outcome_.missingFeatures += matched - got;
                mergeMembers(merged, tile);
                return false;
            }
            const FeaturePage info = readFeaturePage(answer);
            const long long returned = info.count();
            if (info.matched >= 0) matched = info.matched;
            // A server that ignores STARTINDEX hands the same page again: the rest will never come this way.
            const std::size_t pageHash =
                std::hash<std::string>{}(answer.substr(std::min(answer.size(), firstMember(answer))));
            const bool repeated = page > 0 && returned > 0 && pageHash == previousPage;
            previousPage = pageHash;
            if (!repeated) {
                mergeMembers(tile, answer);
                got += returned;
            }
            followUrl.clear();
            if (!repeated && returned > 0 && !info.next.empty() && !wfs110_) {
                std::string startText;
                long long nextStart = 0;
                if (urlParameter(info.next, "startindex", startText) && platform::parseInt(startText, nextStart) &&
                    nextStart > start) {
                    start = nextStart;
                    continue;
                }
                // A link without a start index is followed only to the same host: never anywhere a server says.
                if (hostOfUrl(info.next) == hostOfUrl(url) && info.next != url) {
                    followUrl = info.next;
                    continue;
                }
            }
            if (!repeated && !cutShort(returned, matched, got, info)) {
                mergeMembers(merged, tile);
                return true;
            }
            if (!repeated && !wfs110_ && returned > 0 && client_.resultPagingOf(baseUrl_).implemented) {
                start += returned;
                continue;
            }
            return split(box, depth, matched, got, tile, merged);
        }
        return split(box, depth, matched, got, tile, merged);
    }

private:
    // Whether the page was cut at the server's page size: it counted more than came, or, when it counts
    // nothing, the page is as full as the server's page size allows.
    bool cutShort(long long returned, long long matched, long long got, const FeaturePage& info) {
        if (matched >= 0) return matched > got;
        if (returned <= 0 || !info.next.empty()) return false;
        long long pageSize = kPageCount;
        if (returned < kPageCount) {
            const long long stated = client_.resultPagingOf(baseUrl_).countDefault;
            if (stated > 0) pageSize = std::min<long long>(pageSize, stated);
        }
        return returned >= pageSize;
    }

    // Quarters the tile when it may still shrink; otherwise keeps what came and counts what did not.
    bool split(const geodesy::Bbox& box, int depth, long long matched, long long got, const std::string& tile,
               std::string& merged) {
        const double width = box.maxE - box.minE, height = box.maxN - box.minN;
        if (depth >= kMaxSplitDepth || !(width > 0.0) || !(height > 0.0)) {
            mergeMembers(merged, tile);
            if (matched >= 0) outcome_.missingFeatures += std::max(0LL, matched - got);
            else ++outcome_.cutTiles;
            return true;
        }
        const double midE = box.minE + width / 2, midN = box.minN + height / 2;
        const geodesy::Bbox quarters[4] = {{box.minE, box.minN, midE, midN},
                                           {midE, box.minN, box.maxE, midN},
                                           {box.minE, midN, midE, box.maxN},
                                           {midE, midN, box.maxE, box.maxN}};
        bool whole = true;
        for (const geodesy::Bbox& quarter : quarters) {
            if (client_.cancelRequested()) return false;
            whole = fetch(quarter, depth + 1, merged) && whole;
        }
        return whole;
    }

    // One page from the cache or the server; false when no whole feature collection came.
    bool pageAnswer(const std::string& url, std::string& answer) {
        const std::string path = client_.cachePathFor(url, "gml");
        if (readCachedEntry(path, AnswerKind::featureCollection, answer)) return true;
        if (client_.cancelRequested()) return false;
        HttpResponse response = client_.get(url);
        // An error page or a cut answer with status 200 gets the retry a failed status gets.
        if (!isUsableTile(response) && response.status >= 200 && response.status <= 299 && !client_.cancelRequested()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(client_.options.retryDelayMs));
            response = client_.request("GET", url, {}, {}, client_.options.defaultReceiveTimeoutMs);
        }
        if (!isUsableTile(response)) return false;
        answer = std::move(response.body);
        platform::writeFileAtomically(path, answer, kCacheFileMode);
        return true;
    }

    WfsClient& client_;
    const std::string& baseUrl_;
    const std::string& typeName_;
    bool northingFirst_, wfs110_;
    int epsg_;
    TiledFetchOutcome& outcome_;
};

}  // namespace

std::string WfsClient::fetchWfsTiled(const std::string& baseUrl, const std::string& typeName, const geodesy::Bbox& box,
                                     const TileProgressCallback& progress, bool northingFirst, bool wfs110, int epsg,
                                     TiledFetchOutcome* outcome) {
    TiledFetchOutcome local;
    TiledFetchOutcome& report = outcome != nullptr ? *outcome : local;
    report = TiledFetchOutcome{};
    const double minX = box.minE, minY = box.minN, maxX = box.maxE, maxY = box.maxN;
    std::string result;
    // A box that is not finite would never end the grid walk.
    if (!std::isfinite(minX) || !std::isfinite(minY) || !std::isfinite(maxX) || !std::isfinite(maxY)) return result;
    const double step = options.tileSizeMetres;
    // Counted in doubles so that an absurd box cannot overflow the tile count.
    const double columns = std::max(std::ceil((maxX - minX) / step), 1.0);
    const double rows = std::max(std::ceil((maxY - minY) / step), 1.0);
    const int total = static_cast<int>(std::min(columns * rows, 2147483647.0));
    if (!(maxX > minX)) return result;
    report.tiles = total;
    // A frame over much of the country would take days of requests: refused before the first one.
    if (columns * rows > options.maxWfsTiles) {
        report.refused = true;
        report.failed = total;
        return result;
    }
    TileFetch tiles(*this, baseUrl, typeName, northingFirst, wfs110, epsg, report);
    int done = 0;
    // Tile corners are counted from the box's corner rather than summed step by step: far from the origin
    // a 500 m step can vanish in rounding, and a summed walk would then never end.
    for (double column = 0; column < columns; ++column) {
        const double x = minX + column * step;
        if (!(x < maxX)) break;
        for (double row = 0; row < rows; ++row) {
            const double y = minY + row * step;
            if (!(y < maxY)) break;
            if (cancelRequested()) {
                report.cancelled = true;
                report.failed += total - done;
                return result;
            }
            const geodesy::Bbox tile{x, y, std::min(x + step, maxX), std::min(y + step, maxY)};
            if (!tiles.fetch(tile, 0, result)) {
                // Cancelled in the middle of a tile: that tile and the rest are lost.
                if (cancelRequested()) {
                    report.cancelled = true;
                    report.failed += total - done;
                    return result;
                }
                ++report.failed;
            }
            ++done;
            if (progress) progress(done, total);
        }
    }
    return result;
}

std::string WfsClient::getCachedText(const std::string& url, int receiveTimeoutMs, AnswerKind kind) {
    const std::string path = cachePathFor(url, "gml");
    std::string cached;
    if (readCachedEntry(path, kind, cached)) return cached;
    const HttpResponse response = getWithTimeout(url, receiveTimeoutMs);
    if (response.status < 200 || response.status > 299 || !response.error.empty() ||
        !isAnswerOfKind(response.body, kind))
        return {};
    platform::writeFileAtomically(path, response.body, kCacheFileMode);
    return response.body;
}

std::string WfsClient::getCachedFile(const std::string& url, const ProgressCallback& progress, int receiveTimeoutMs,
                                     std::string& error, AnswerKind kind) {
    const std::string path = cachePathFor(url, "zip");
    if (std::ifstream(path, std::ios::binary)) {
        if (isAnswerOfKind(fileHead(path), kind)) return path;
        std::error_code ignored;
        fs::remove(path, ignored);
    }
    if (cancelRequested()) {
        error = "Pobieranie anulowane.";
        return {};
    }
    waitForHost(hostOfUrl(url));
    const std::string temporary = path + ".part." +
                                  cformat("%llu", static_cast<unsigned long long>(platform::currentThreadHash())) +
                                  "." + cformat("%lld", downloadSequence++);
    // Created exclusively and private: never a file someone else placed (or linked) under that name.
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, kCacheFileMode);
    if (fd >= 0) ::fchmod(fd, kCacheFileMode);
    std::FILE* file = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
    if (file == nullptr && fd >= 0) ::close(fd);
    if (file == nullptr) {
        error = "Nie mozna zapisac do pamieci podrecznej: " + temporary;
        return {};
    }
    using Clock = std::chrono::steady_clock;
    long long written = 0;
    long long lastReported = -1;
    Clock::time_point lastReportTime;
    bool cancelled = false;
    bool writeFailed = false;
    std::string head;  // the first bytes, to recognise a service exception in place of the file
    const auto onChunk = [&](const char* data, std::size_t size, long long total) {
        if (std::fwrite(data, 1, size, file) != size) {
            writeFailed = true;
            return false;
        }
        if (head.size() < 4096) head.append(data, std::min<std::size_t>(size, 4096 - head.size()));
        written += static_cast<long long>(size);
        if (progress) {
            const auto now = Clock::now();
            const bool first = lastReported < 0;
            const bool timeDue = now - lastReportTime >= std::chrono::milliseconds(kProgressIntervalMs);
            const bool stepDue = total > 0 && written - lastReported >= std::max(total / 100, 1LL);
            if (first || timeDue || stepDue) {
                lastReported = written;
                lastReportTime = now;
                if (!progress(written, total)) {
                    cancelled = true;
                    return false;
                }
            }
        }
        return true;
    };
    HttpStreamResult download;
    try {
        TransferLimits limits;
        limits.cancelled = options.cancelQuery;
        // Large packages need long, but a trickling server must not hold a worker for ever.
        limits.deadlineMs =
            options.requestDeadlineMs > 0 ? options.requestDeadlineMs : 4 * std::max(receiveTimeoutMs, 60000);
        download = performDownload(url, options.connectTimeoutMs, receiveTimeoutMs, options.userAgent, onChunk, limits);
        if (download.ok && progress && lastReported < written) progress(written, written);
    } catch (...) {
        // A progress callback that throws leaves no partial file behind.
        std::fclose(file);
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    // A failed flush or close means the data never reached the disk.
    if (std::fclose(file) != 0 && !cancelled) writeFailed = true;
    std::error_code ec;
    if (cancelled) {
        fs::remove(temporary, ec);
        error = "Pobieranie anulowane.";
        return {};
    }
    if (writeFailed) {
        fs::remove(temporary, ec);
        error = "Blad zapisu na dysk - sprawdz wolne miejsce.";
        return {};
    }
    if (download.ok && written == 0) {
        fs::remove(temporary, ec);
        error = "Serwer zwrocil pusta odpowiedz zamiast pliku.";
        return {};
    }
    if (download.ok && (isOgcExceptionDocument(head) || !isAnswerOfKind(head, kind))) {
        fs::remove(temporary, ec);
        error = "Serwer zwrocil komunikat bledu zamiast pliku.";
        return {};
    }
    if (download.ok) {
        fs::remove(path, ec);
        fs::rename(temporary, path, ec);
        if (ec) {
            fs::remove(temporary, ec);
            error = "Nie mozna sfinalizowac pliku w pamieci podrecznej.";
            return {};
        }
        return path;
    }
    fs::remove(temporary, ec);
    error = !download.error.empty() ? download.error : "Serwer zwrocil status " + cformat("%lld", download.status);
    return {};
}

}  // namespace net
