#include "formats/gml/GisFeature.h"

#include <nlohmann/json.hpp>

#include "geodesy/Crs.h"

namespace gml {

namespace {

const char* kindOf(formats::DataType type) {
    switch (static_cast<std::int32_t>(type)) {
        case 0: return "dzialka";
        case 1: return "budynek";
        case 2: return "mpzp";
        case 3: return "pog";
        case 4: return "gesut";
        case 7: return "rastr";
        default: return "inne";
    }
}

nlohmann::json position(const geodesy::PlanarPoint& p) {
    const geodesy::LatLon ll = geodesy::pl1992ToWgs84(p.x, p.y);
    return nlohmann::json::array({ll.lon, ll.lat});
}

nlohmann::json pointList(const std::vector<geodesy::PlanarPoint>& points) {
    nlohmann::json out = nlohmann::json::array();
    for (const geodesy::PlanarPoint& p : points) out.push_back(position(p));
    return out;
}

nlohmann::json polygonRings(const GisPolygon& polygon) {
    nlohmann::json rings = nlohmann::json::array();
    rings.push_back(pointList(polygon.outer));
    for (const auto& hole : polygon.holes) rings.push_back(pointList(hole));
    return rings;
}

nlohmann::json geometryOf(const GisFeature& f) {
    if (f.polygons.size() == 1) return {{"type", "Polygon"}, {"coordinates", polygonRings(f.polygons.front())}};
    if (f.polygons.size() > 1) {
        nlohmann::json all = nlohmann::json::array();
        for (const GisPolygon& p : f.polygons) all.push_back(polygonRings(p));
        return {{"type", "MultiPolygon"}, {"coordinates", all}};
    }
    if (f.lines.size() == 1) return {{"type", "LineString"}, {"coordinates", pointList(f.lines.front())}};
    if (f.lines.size() > 1) {
        nlohmann::json all = nlohmann::json::array();
        for (const auto& line : f.lines) all.push_back(pointList(line));
        return {{"type", "MultiLineString"}, {"coordinates", all}};
    }
    return {{"type", "Point"}, {"coordinates", position(f.anchor)}};
}

// Length of the valid UTF-8 sequence starting at s[i], or 0 when it is not one.
std::size_t validSequenceLength(std::string_view s, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = byte(i);
    if (c < 0x80) return 1;
    std::size_t length = 0;
    unsigned char lo = 0x80, hi = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) length = 2;
    else if (c == 0xE0) length = 3, lo = 0xA0;
    else if (c >= 0xE1 && c <= 0xEC) length = 3;
    else if (c == 0xED) length = 3, hi = 0x9F;
    else if (c >= 0xEE && c <= 0xEF) length = 3;
    else if (c == 0xF0) length = 4, lo = 0x90;
    else if (c >= 0xF1 && c <= 0xF3) length = 4;
    else if (c == 0xF4) length = 4, hi = 0x8F;
    else return 0;
    if (i + length > s.size()) return 0;
    if (byte(i + 1) < lo || byte(i + 1) > hi) return 0;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
    return length;
}

}  // namespace

std::string validUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = validSequenceLength(text, i);
        if (n == 0) {
            out += "\xEF\xBF\xBD";
            ++i;
        } else {
            out.append(text.substr(i, n));
            i += n;
        }
    }
    return out;
}

std::string featuresToGeoJson(const std::vector<GisFeature>& features) {
    nlohmann::json list = nlohmann::json::array();
    for (const GisFeature& f : features) {
        if (!f.hasGeometry()) continue;
        nlohmann::json properties = nlohmann::json::object();
        for (const auto& [key, value] : f.props) properties[key] = value;
        properties["_kind"] = kindOf(f.type);
        list.push_back({{"type", "Feature"}, {"properties", std::move(properties)}, {"geometry", geometryOf(f)}});
    }
    const nlohmann::json collection = {{"type", "FeatureCollection"}, {"features", std::move(list)}};
    // Texts that reached the record without passing the parser may still hold invalid UTF-8;
    // they are replaced rather than failing the whole preview.
    return collection.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace gml
