#include "cloud_ui/CloudDownload.h"

#include <algorithm>
#include <exception>
#include <future>
#include <system_error>
#include <thread>
#include <vector>

#include "cloud_ui/CloudExport.h"
#include "cloud_ui/SheetImport.h"
#include "geodesy/Crs.h"
#include "geodesy/Epsg.h"
#include "net/LidarResolver.h"
#include "net/TileIndex.h"
#include "platform/Numbers.h"

namespace cloudui {

namespace {

const char* const kNoData = "Brak danych LiDAR dla tego obszaru.";
const char* const kCancelled = "Anulowano.";
const char* const kNoSheet = "Nie udalo sie pobrac zadnego kafla LiDAR dla tego obszaru.";

CloudResult failure(std::string message) {
    CloudResult r;
    r.message = std::move(message);
    return r;
}

std::string withComma(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

// The download of one sheet running beside the decoding of the one before. Leaving the scope early (cancel,
// too many points, an error) stops a running download before waiting for it, so the run ends promptly.
class Prefetch {
public:
    explicit Prefetch(std::atomic<bool>& stop) : stop_(stop) {}
    ~Prefetch() {
        stop_ = true;
        if (pending_.valid()) pending_.wait();
    }
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    void start(std::function<std::string()> download) {
        pending_ = std::async(std::launch::async, std::move(download));
    }
    // The path of the sheet started last (empty when it did not come); an exception of the download passes on.
    std::string take() { return pending_.valid() ? pending_.get() : std::string(); }

private:
    std::atomic<bool>& stop_;
    std::future<std::string> pending_;
};

unsigned decodeThreadsFor(unsigned asked) {
    if (asked > 0) return asked;
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace

std::string byteSizeText(std::int64_t bytes) {
    if (bytes < 1024) return platform::cformat("%lld B", static_cast<long long>(bytes));
    if (bytes < 1048576) return withComma(platform::cformat("%.1f KB", static_cast<double>(bytes) / 1024.0));
    return withComma(platform::cformat("%.1f MB", static_cast<double>(bytes) / 1048576.0));
}

CloudResult downloadCloud(const CloudJob& job, net::WfsClient& client, const std::filesystem::path& out,
                          const CloudDownloadProgress& progress, const std::atomic<bool>& cancel,
                          const CloudDownloadOptions& options) {
    const net::LidarResolver resolver(&client);
    std::size_t processed = 0;
    CloudResult result;
    std::atomic<bool> stop{false};
    try {
        const std::vector<net::LidarTile> tiles = resolver.findTiles(job.frame);
        if (tiles.empty()) return failure(kNoData);
        if (cancel) return failure(kCancelled);

        std::error_code ignored;
        std::filesystem::create_directories(out.parent_path(), ignored);
        CloudFile file(out);
        CloudAccumulator acc = makeAccumulator(job);
        acc.setPointLimit(options.pointLimit);
        acc.setSink(&file);
        const std::size_t n = tiles.size();
        const unsigned threads = decodeThreadsFor(options.decodeThreads);
        auto download = [&](std::size_t i) {
            return [&, i]() {
                return resolver.download(tiles[i], [&, i](std::int64_t done, std::int64_t total) {
                    if (progress) {
                        const double part = total > 0 ? static_cast<double>(done) / static_cast<double>(total) : 0.0;
                        progress("Kafel " + std::to_string(i + 1) + "/" + std::to_string(n) + ": " +
                                     byteSizeText(done) + (total > 0 ? " / " + byteSizeText(total) : std::string()),
                                 (static_cast<double>(i) + part) * 100.0 / static_cast<double>(n), true);
                    }
                    return !cancel && !stop;
                });
            };
        };

        Prefetch prefetch(stop);
        prefetch.start(download(0));
        for (std::size_t i = 0; i < n; ++i) {
            if (cancel) return failure(kCancelled);
            const std::string path = prefetch.take();
            if (i + 1 < n && !cancel) prefetch.start(download(i + 1));
            if (path.empty()) {
                if (cancel) return failure(kCancelled);
                continue;
            }
            const int epsg = geodesy::isPl2000Epsg(tiles[i].epsg) ? tiles[i].epsg : 0;
            const lidar::SheetRead sheet = importSheet(
                path, epsg, acc, [&](std::int64_t, std::int64_t) { return !cancel; }, threads);
            if (sheet.cancelled) return failure(kCancelled);
            if (!sheet.usable) continue;
            ++processed;
            if (progress)
                progress("Przetwarzanie kafli LiDAR", static_cast<double>(i + 1) * 100.0 / static_cast<double>(n),
                         false);
        }
        if (processed == 0) return failure(kNoSheet);
        result = finishCloud(acc, file);
        result.path = out;  // also after a failed write; the caller removes it either way
    } catch (const HardLimitExceeded& e) {
        result = failure(e.what());
    } catch (const std::exception& e) {
        result = failure(std::string("Blad pobierania chmury: ") + e.what());
    }
    result.sheetsProcessed = processed;
    return result;
}

}  // namespace cloudui
