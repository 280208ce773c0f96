// One imported vector feature (parcel, building, plan zone, utility line) in PL-1992 metres.
#pragma once
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "formats/DataType.h"
#include "geodesy/PlanarPoint.h"

namespace gml {

// A polygon as received: exterior ring (not closed or reoriented) and its holes.
struct GisPolygon {
    std::vector<geodesy::PlanarPoint> outer;
    std::vector<std::vector<geodesy::PlanarPoint>> holes;
};

// A parsed feature: geometry, a label anchor and its simple text properties.
struct GisFeature {
    formats::DataType type = formats::DataType::dzialki;
    std::vector<GisPolygon> polygons;
    std::vector<std::vector<geodesy::PlanarPoint>> lines;
    geodesy::PlanarPoint anchor;
    bool hasAnchor = false;
    // Simple properties plus "_typ" (feature element name) and possibly "gml_id"; byte-wise key order.
    std::map<std::string, std::string> props;
    // The feature's identifier in its answer (gml:id, else fid or id), "" when it has none. Unlike "gml_id" it
    // is read from prefixed attributes too: tiles and pages of one layer repeat a feature under the same one.
    std::string id;

    // True when the feature carries a polygon, a line or an anchor.
    bool hasGeometry() const { return !polygons.empty() || !lines.empty() || hasAnchor; }
};

// Compact GeoJSON FeatureCollection of the features that have geometry, points as [longitude, latitude].
std::string featuresToGeoJson(const std::vector<GisFeature>& features);

// The text with every byte sequence that is not valid UTF-8 replaced by U+FFFD (server texts may be
// in another encoding than declared; nothing downstream should fail on them).
std::string validUtf8(std::string_view text);

}  // namespace gml
