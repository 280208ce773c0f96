// LiDAR sheets of a frame from the national index, and their download through the cache.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "net/TileIndex.h"

class WfsClient;

class LidarResolver {
public:
    // Bytes done and bytes total (0 when unknown); false cancels the download.
    using Progress = std::function<bool(std::int64_t done, std::int64_t total)>;

    explicit LidarResolver(WfsClient* client) : client_(client) {}

    // Sheets of the newest year that covers the frame (PL-1992 metres), in answer order.
    std::vector<LidarTile> findTiles(const geodesy::Bbox& frame) const;
    // Local path of the sheet's file in the download cache, or an empty text on failure or cancel.
    std::string download(const LidarTile& tile, Progress progress = {}) const;

private:
    WfsClient* client_;
};
