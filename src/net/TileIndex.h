// The national tile indexes of the elevation model, the surface model and LiDAR: which sheets cover a frame.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "geodesy/Bbox.h"

namespace net {

class WfsClient;

// One elevation-model or surface-model sheet of an index.
struct ElevationTile {
    std::string godlo;  // sheet emblem
    std::string url;    // download address, always beginning with "http"
};

// One LiDAR sheet of the index.
struct LidarTile {
    std::string godlo;
    std::string url;
    double density = 0.0;   // points per square metre; 0 when not given
    int epsg = 0;           // horizontal system of the file: 2180, 2176..2179, or 0 when not recognised
    geodesy::Bbox outline;  // the sheet's extent in PL-1992 from the index geometry; all zero when it has none
};

// One product's index: service path, feature-type prefix (year appended) and the oldest year asked.
struct TileIndexProduct {
    std::string serviceUrl;
    std::string typePrefix;
    int oldestYear = 0;
};

// At most this many sheets come back for one frame (one request, no paging).
constexpr int kTileIndexCount = 20;

// The three indexes at the process-wide service addresses.
TileIndexProduct nmtIndexProduct();
TileIndexProduct nmptIndexProduct();
TileIndexProduct lidarIndexProduct();

// The first year the search asks: the current UTC year plus one.
int firstIndexYear();
// GetFeature URL of one year's feature type for a frame (PL-1992 metres).
std::string tileIndexUrl(const TileIndexProduct& product, int year, const geodesy::Bbox& frame);
// Answer body of the newest year with at least one usable member, searching down to the oldest year;
// `accept` says whether a body has one. Empty when no year had any or the frame is not finite.
std::string searchIndexYears(WfsClient& client, const TileIndexProduct& product, const geodesy::Bbox& frame,
                             bool (*accept)(const std::string& body));
// The same; `answered` tells whether any year gave a readable index answer (an index that never answered
// says nothing about the data it would have listed).
std::string searchIndexYears(WfsClient& client, const TileIndexProduct& product, const geodesy::Bbox& frame,
                             bool (*accept)(const std::string& body), bool& answered);

// Elevation sheets of an index answer, in answer order; members without an http URL are skipped.
std::vector<ElevationTile> scanElevationIndex(std::string_view body);
// LiDAR sheets of an index answer, in answer order.
std::vector<LidarTile> scanLidarIndex(std::string_view body);
// Text of the element gugik:<name> between `from` and `limit` (trimmed, entities decoded); empty when absent.
std::string indexElementText(std::string_view body, std::string_view name, std::size_t from, std::size_t limit);
// EPSG code named by a `uklad_xy` text: 2180 for PL-1992, 2176..2179 for PL-2000 with zone S5..S8, else 0.
int decodeUkladXy(std::string_view text);
// Points per square metre at the start of a `char_przestrz` text ("12 p/m2" gives 12); 0 when none.
double decodeDensity(std::string_view text);

// Sheets of the elevation model (NMT) covering the frame; empty when none was found or every request failed.
std::vector<ElevationTile> findNmtTiles(WfsClient& client, const geodesy::Bbox& frame);
std::vector<ElevationTile> findNmtTiles(WfsClient& client, const geodesy::Bbox& frame, bool& answered);
// Sheets of the surface model (NMPT) covering the frame.
std::vector<ElevationTile> findNmptTiles(WfsClient& client, const geodesy::Bbox& frame);

}  // namespace net
