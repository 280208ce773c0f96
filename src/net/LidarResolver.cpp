#include "net/LidarResolver.h"

#include "net/WfsClient.h"

namespace net {

namespace {
bool hasLidarSheets(const std::string& body) { return !scanLidarIndex(body).empty(); }
}  // namespace

std::vector<LidarTile> LidarResolver::findTiles(const geodesy::Bbox& frame) const {
    if (client_ == nullptr) return {};
    return scanLidarIndex(searchIndexYears(*client_, lidarIndexProduct(), frame, hasLidarSheets));
}

std::string LidarResolver::download(const LidarTile& tile, platform::ProgressCallback progress) const {
    if (client_ == nullptr || tile.url.empty()) return {};
    if (!progress) progress = [](std::int64_t, std::int64_t) { return true; };
    std::string error;  // the callers word their own message for a sheet that did not come
    return client_->getCachedFile(tile.url, progress, kLidarTimeoutMs, error, AnswerKind::lasFile);
}

}  // namespace net
