// 2D drawing of fetched vector features: polylines, fills, hatches and labels on a layer per type.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "formats/gml/GisFeature.h"
#include "host/Host.h"
#include "import/LayerMapping.h"
#include "import/ProjectTransform.h"

namespace importer {

// Extent of everything drawn, in project coordinates.
struct DrawBounds {
    bool valid = false;
    double minX = 0.0, minY = 0.0, maxX = 0.0, maxY = 0.0;
    void add(const host::HostPoint2& p);
};

// What drawing the features did.
struct FeatureDrawResult {
    std::map<std::string, int> counts;  // type key -> features drawn
    int failures = 0;                   // features whose element creation failed
    std::string error;                  // non-empty: drawing stopped (no layer for a type)
    DrawBounds bounds;
};

// An RGB colour, channels 0..255.
struct Rgb {
    int r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};

// Pens given to the elements of each drawn type.
inline constexpr std::int16_t kParcelPen = 10;
inline constexpr std::int16_t kBuildingPen = 6;
inline constexpr std::int16_t kMpzpPen = 30;
inline constexpr std::int16_t kPogPen = 32;
inline constexpr std::int16_t kUtilityPen = 5;
inline constexpr std::int16_t kSpecialZonePen = 8;

// Draws the features (working-zone metres) in list order through the transform; stops at the first
// type whose layer can be neither found nor created.
FeatureDrawResult drawFeatures(const std::vector<gml::GisFeature>& features, const ProjectTransform& transform,
                               LayerMapping& layers);

// The label of a parcel from its attributes (empty: no label).
std::string parcelLabel(const std::map<std::string, std::string>& props);
// The colour of a general-plan zone symbol from the zone table; none when no code matches.
std::optional<Rgb> pogZoneColour(const std::string& symbol);

// Element makers: 0 on success or the host's error. Points are project coordinates. Degenerate
// input (a polyline under 2 points, an outline under 3 points, an empty text) makes nothing and answers 0.
host::HostError makePolyline(const std::vector<host::HostPoint2>& points, std::int32_t layer, std::int16_t pen);
host::HostError makeFill(const std::vector<std::vector<host::HostPoint2>>& rings, std::int32_t layer,
                         std::int16_t contourPen, std::optional<Rgb> colour);
host::HostError makeHatch(const std::vector<std::vector<host::HostPoint2>>& rings, std::int32_t layer,
                          std::int16_t contourPen, const std::string& fillNameFragment, Rgb colour);
host::HostError makeText(const host::HostPoint2& position, const std::string& text, std::int32_t layer,
                         std::int16_t pen, double size, std::optional<double> angle = std::nullopt);

}  // namespace importer
