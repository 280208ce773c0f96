// Reads WFS GetFeature answers (GML 2, 3.1 and 3.2) into GisFeature records in PL-1992 metres.
#pragma once
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/gml/GisFeature.h"

namespace gml {

// What one parse produced and, when it failed, where and why.
struct GmlParseResult {
    std::vector<GisFeature> features;   // kept features in document order
    bool ok = true;                     // false: the answer could not be read as a feature collection
    std::string error;                  // Polish text for the user when ok is false
    std::size_t errorOffset = 0;        // byte offset of the failure in the answer (XML errors)
    std::size_t errorLine = 0;          // 1-based line of that offset (0 when not applicable)
    std::size_t members = 0;            // member elements seen
    std::size_t skippedMembers = 0;     // members without a feature element or without usable geometry
    std::size_t skippedGeometries = 0;  // geometries dropped for unusable coordinates (non-finite, absurd)
};

class GmlParser {
public:
    // Features of a GetFeature answer in document order; an empty list when the text is not XML.
    static std::vector<GisFeature> parseFeatureCollection(std::string_view gml, formats::DataType type);
    // The same parse with its status: XML errors with their offset, server exception documents, counters.
    // A plain feature collection is read one member at a time where it stands; anything else is copied whole.
    static GmlParseResult parse(std::string_view gml, formats::DataType type);
    // The same parse without copying the answer in any case: `gml` holds the answer followed by one NUL byte,
    // and may serve as the parser's buffer, overwritten. Without the closing NUL the answer may be copied.
    static GmlParseResult parseInPlace(std::span<char> gml, formats::DataType type);
    // The EPSG code named by a CRS text: the last positive digit run after the first "EPSG", or 0.
    static int parseEpsgCode(std::string_view srsName);
};

}  // namespace gml
