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

std::string LidarResolver::download(const LidarTile& tile, platform::ProgressCallback progress,
                                    std::string* error) const {
    std::string ignored;
    std::string& text = error != nullptr ? *error : ignored;
    text.clear();
    if (client_ == nullptr || tile.url.empty()) {
        text = "brak adresu kafla";
        return {};
    }
    if (!progress) progress = [](std::int64_t, std::int64_t) { return true; };
    return client_->getCachedFile(tile.url, progress, kLidarTimeoutMs, text, AnswerKind::lasFile);
}

}  // namespace net
