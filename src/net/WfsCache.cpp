// Tiled WFS fetches and the download cache of WfsClient.

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <system_error>

#include "net/DownloadCache.h"
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

bool readWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::ostringstream ss;
    ss << in.rdbuf();
    out = std::move(ss).str();
    return true;
}

// A usable tile answer: a 2xx status, a whole body, and no service exception in place of data.
bool isUsableAnswer(const HttpResponse& response) {
    return response.status >= 200 && response.status <= 299 && response.error.empty() &&
           !isOgcExceptionDocument(response.body);
}

void mergeMembers(std::string& result, const std::string& answer) {
    if (answer.empty()) return;
    if (result.empty()) {
        result = answer;
        return;
    }
    const auto memberStart = answer.find("<wfs:member");
    const auto answerEnd = answer.rfind("</wfs:FeatureCollection>");
    const auto resultEnd = result.rfind("</wfs:FeatureCollection>");
    if (memberStart == std::string::npos || answerEnd == std::string::npos || resultEnd == std::string::npos ||
        answerEnd < memberStart)
        return;
    result.insert(resultEnd, answer, memberStart, answerEnd - memberStart);
}
}  // namespace

fs::path WfsClient::cacheFolder() {
    if (options.cacheDir.empty()) return cacheDirectory();
    std::error_code ec;
    fs::create_directories(options.cacheDir, ec);
    return options.cacheDir;
}

std::string WfsClient::cachePathFor(const std::string& url, const std::string& extension) {
    return (cacheFolder() / (sha1Hex(url) + "." + (extension.empty() ? std::string("bin") : extension))).string();
}

std::string WfsClient::fetchWfsTiled(const std::string& baseUrl, const std::string& typeName, const geodesy::Bbox& box,
                                     const TileProgressCallback& progress, bool northingFirst, bool wfs110, int epsg) {
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
    int done = 0;
    // Tile corners are counted from the box's corner rather than summed step by step: far from the origin
    // a 500 m step can vanish in rounding, and a summed walk would then never end.
    for (double column = 0; column < columns; ++column) {
        const double x = minX + column * step;
        if (!(x < maxX)) break;
        for (double row = 0; row < rows; ++row) {
            const double y = minY + row * step;
            if (!(y < maxY)) break;
            const std::string url =
                buildWfsUrl(baseUrl, typeName, geodesy::Bbox{x, y, std::min(x + step, maxX), std::min(y + step, maxY)},
                            1000, 0, northingFirst, wfs110, epsg);
            const std::string path = cachePathFor(url, "gml");
            std::string answer;
            if (!readWholeFile(path, answer)) {
                const HttpResponse response = get(url);
                if (isUsableAnswer(response)) {
                    answer = response.body;
                    platform::writeFileAtomically(path, answer);
                }
            } else if (isOgcExceptionDocument(answer)) {
                answer.clear();
            }
            mergeMembers(result, answer);
            ++done;
            if (progress) progress(done, total);
        }
    }
    return result;
}

std::string WfsClient::getCachedText(const std::string& url, int receiveTimeoutMs) {
    const std::string path = cachePathFor(url, "gml");
    std::string cached;
    if (readWholeFile(path, cached)) return cached;
    const HttpResponse response = getWithTimeout(url, receiveTimeoutMs);
    if (response.status < 200 || response.status > 299 || !response.error.empty() || response.body.empty()) return {};
    if (!isOgcExceptionDocument(response.body)) platform::writeFileAtomically(path, response.body);
    return response.body;
}

std::string WfsClient::getCachedFile(const std::string& url, const ProgressCallback& progress, int receiveTimeoutMs,
                                     std::string& error) {
    const std::string path = cachePathFor(url, "zip");
    if (std::ifstream(path, std::ios::binary)) return path;
    waitForHost(hostOfUrl(url));
    const std::string temporary = path + ".part." +
                                  cformat("%llu", static_cast<unsigned long long>(platform::currentThreadHash())) +
                                  "." + cformat("%lld", downloadSequence++);
    std::FILE* file = std::fopen(temporary.c_str(), "wb");
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
        download = performDownload(url, options.connectTimeoutMs, receiveTimeoutMs, options.userAgent, onChunk);
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
    if (download.ok && isOgcExceptionDocument(head)) {
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
