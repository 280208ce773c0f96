// LiDAR sheets of a frame from the national index, and their download through the cache.
#pragma once
#include <string>
#include <vector>

#include "geodesy/Bbox.h"
#include "net/TileIndex.h"
#include "platform/Progress.h"

namespace net {

class WfsClient;

class LidarResolver {
public:
    explicit LidarResolver(WfsClient* client) : client_(client) {}

    // Sheets of the newest year that covers the frame (PL-1992 metres), in answer order.
    std::vector<LidarTile> findTiles(const geodesy::Bbox& frame) const;
    // Local path of the sheet's file in the download cache, or an empty text on failure or cancel (then `error`,
    // when given, holds the web client's text); progress gets bytes done and total (0 when unknown) and cancels
    // with false.
    std::string download(const LidarTile& tile, platform::ProgressCallback progress = {},
                         std::string* error = nullptr) const;

private:
    WfsClient* client_;
};

}  // namespace net
