// The point-cloud palette's download: LiDAR sheets of a frame found in the index, downloaded through the cache,
// decoded, cropped, thinned, offset into the zone and written as one E57 file.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

#include "cloud_ui/CloudJob.h"
#include "cloud_ui/CloudResult.h"
#include "cloud_ui/HardLimitExceeded.h"

namespace net {
class WfsClient;
}

namespace cloudui {

// Tuning of one download.
struct CloudDownloadOptions {
    std::size_t pointLimit = kCloudPointLimit;
    unsigned decodeThreads = 0;  // 0: every core
};

// A "progress" message for the page: label, percentage and whether it comes from a sheet's download.
using CloudDownloadProgress = std::function<void(const std::string& label, double pct, bool cancellable)>;

// Runs the whole download on the calling (worker) thread; the next sheet downloads while the last one decodes.
// Failures come back as the result's message (never thrown). `out` is the E57 file to write; the result's
// path names it whenever a write was attempted, so the caller can remove what is left.
CloudResult downloadCloud(const CloudJob& job, net::WfsClient& client, const std::filesystem::path& out,
                          const CloudDownloadProgress& progress, const std::atomic<bool>& cancel,
                          const CloudDownloadOptions& options = {});

// A byte count for the user: "%lld B", "%.1f KB" or "%.1f MB" with a decimal comma.
std::string byteSizeText(std::int64_t bytes);

}  // namespace cloudui
