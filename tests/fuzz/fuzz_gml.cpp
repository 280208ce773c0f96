// Fuzz target for the GML reader: any bytes a server may send must neither crash nor produce
// features without geometry, non-finite coordinates or a preview that cannot be serialised, and the
// in-place parse must agree with the copying one.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "formats/gml/GmlParser.h"

using formats::DataType;
using gml::GisFeature, gml::GisPolygon, gml::GmlParseResult, gml::GmlParser, gml::featuresToGeoJson;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

bool finite(const geodesy::PlanarPoint& p) { return std::isfinite(p.x) && std::isfinite(p.y); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // The first byte picks a data type so that every code, known or not, is exercised.
    const DataType type = static_cast<DataType>(size > 0 ? static_cast<std::int8_t>(data[0]) : 0);
    const GmlParseResult result = GmlParser::parse(text, type);
    require(!result.ok ? !result.error.empty() : true);
    for (const GisFeature& f : result.features) {
        require(f.hasGeometry());
        require(f.type == type);
        require(f.props.count("_typ") == 1);
        if (f.hasAnchor) require(finite(f.anchor));
        for (const GisPolygon& p : f.polygons) {
            require(!p.outer.empty());
            for (const geodesy::PlanarPoint& q : p.outer) require(finite(q));
            for (const auto& hole : p.holes)
                for (const geodesy::PlanarPoint& q : hole) require(finite(q));
        }
        for (const auto& line : f.lines) {
            require(line.size() >= 2);
            for (const geodesy::PlanarPoint& q : line) require(finite(q));
        }
    }
    // Parsing in place, which overwrites its buffer, tells the same story.
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    const GmlParseResult inPlace = GmlParser::parseInPlace(buffer, type);
    require(inPlace.ok == result.ok && inPlace.error == result.error && inPlace.errorLine == result.errorLine);
    require(inPlace.features.size() == result.features.size());
    for (std::size_t i = 0; i < result.features.size(); ++i)
        require(inPlace.features[i].props == result.features[i].props &&
                inPlace.features[i].lines == result.features[i].lines &&
                inPlace.features[i].anchor == result.features[i].anchor);
    const std::string json = featuresToGeoJson(result.features);
    require(!json.empty());
    return 0;
}
