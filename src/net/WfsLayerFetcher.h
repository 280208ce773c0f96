// Fetches one feature type from a county WFS, finding by trial which request form the service answers
// correctly, and remembering it for the rest of one import.
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "formats/gml/GisFeature.h"
#include "geodesy/Bbox.h"
#include "net/WfsClient.h"

namespace net {

// True when the feature lies on the frame (edges included): its anchor or a vertex lies inside, an edge
// crosses it, or the frame lies inside one of its polygons.
bool featureTouchesBox(const gml::GisFeature& feature, const geodesy::Bbox& frame);
// True when part of the polygon's area lies in the frame (edges included): a vertex of any ring lies
// inside, an edge of any ring crosses it, or the frame's centre lies inside the outer ring and no hole.
bool polygonMeetsBox(const gml::GisPolygon& polygon, const geodesy::Bbox& frame);

// Keeps the first of every feature that came more than once (a feature crossing tile edges comes with every
// tile it meets, and again with overlapping pages): the same identity (gml:id), or without one the same layer
// identifier (ID_DZIALKI, lokalnyId, ...), or without that the same geometry. Returns how many were dropped.
std::size_t dropRepeatedFeatures(std::vector<gml::GisFeature>& features);

// A tiled WFS layer parsed into features, each of them once (see WfsClient::fetchWfsTiled).
std::vector<gml::GisFeature> fetchTiledFeatures(WfsClient& client, const std::string& baseUrl,
                                                const std::string& typeName, const geodesy::Bbox& box,
                                                formats::DataType type, const TileProgressCallback& progress,
                                                bool northingFirst, bool wfs110, int epsg,
                                                TiledFetchOutcome* outcome = nullptr);

class WfsLayerFetcher {
public:
    explicit WfsLayerFetcher(WfsClient& client) : client_(client) {}

    // Parcel and building type names offered by a county WFS (from its capabilities; remembered per URL).
    // True when at least one was found.
    bool discoverTypeNames(const std::string& wfsUrl, std::string& parcelType, std::string& buildingType);

    // Features of one type inside the frame (PL-1992). Without a remembered request form the forms are tried
    // in turn (northing-first 2.0, easting-first 2.0, PL-2000 zone 2.0, northing-first 1.1) and the first
    // whose features lie on the frame wins; as a last resort the whole type is fetched when it is small.
    // `outcome` (optional) tells how many tiles of the form used were lost; when no form gave features,
    // the worst loss of all forms tried.
    std::vector<gml::GisFeature> fetchCountyLayer(const std::string& wfsUrl, const std::string& typeName,
                                                  const geodesy::Bbox& frame, formats::DataType type,
                                                  const TileProgressCallback& progress,
                                                  TiledFetchOutcome* outcome = nullptr);

    // The request form (1..4) remembered for a service and type name, 0 when none has worked yet.
    int rememberedVariant(const std::string& wfsUrl, const std::string& typeName) const;

private:
    std::vector<gml::GisFeature> fetchVariant(int variant, const std::string& wfsUrl, const std::string& typeName,
                                              const geodesy::Bbox& frame, formats::DataType type,
                                              const TileProgressCallback& progress, TiledFetchOutcome& outcome);
    std::vector<gml::GisFeature> fetchWholeTypeWhenSmall(const std::string& wfsUrl, const std::string& typeName,
                                                         const geodesy::Bbox& frame, formats::DataType type,
                                                         const TileProgressCallback& progress);

    WfsClient& client_;
    std::map<std::string, std::pair<std::string, std::string>> typeNames_;  // URL -> (parcel, building)
    std::map<std::string, int> variants_;                                   // URL + "|" + type -> 1..4
};

}  // namespace net
