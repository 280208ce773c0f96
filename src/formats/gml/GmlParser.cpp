#include "formats/gml/GmlParser.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <pugixml.hpp>

#include "formats/gml/XmlEncoding.h"
#include "formats/gml/detail/CollectionSplit.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"

namespace gml {

namespace {

// Real answers nest about fifteen levels; anything far deeper is hostile and is refused before any walk.
constexpr std::size_t kMaxDepth = 256;
// No supported system has coordinates anywhere near this; larger values are garbage, not positions.
constexpr double kMaxCoordinate = 1e9;

std::string_view localName(const char* qualified) {
    const char* colon = std::strchr(qualified, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualified);
}

std::string_view localName(std::string_view qualified) {
    const std::size_t colon = qualified.find(':');
    return colon == std::string_view::npos ? qualified : qualified.substr(colon + 1);
}

bool isElement(pugi::xml_node n) { return n.type() == pugi::node_element; }

bool nameIs(pugi::xml_node n, std::string_view local) { return isElement(n) && localName(n.name()) == local; }

// Next node of a pre-order walk that stays inside the subtree of `root`.
pugi::xml_node nextInSubtree(pugi::xml_node current, pugi::xml_node root) {
    if (pugi::xml_node child = current.first_child()) return child;
    while (current && current != root) {
        if (pugi::xml_node sibling = current.next_sibling()) return sibling;
        current = current.parent();
    }
    return {};
}

// First element named `local` in the subtree of `root` (root included), pre-order.
pugi::xml_node firstNamed(pugi::xml_node root, std::string_view local) {
    for (pugi::xml_node n = root; n; n = nextInSubtree(n, root))
        if (nameIs(n, local)) return n;
    return {};
}

std::size_t maxDepth(const pugi::xml_document& doc) {
    std::size_t depth = 0, deepest = 0;
    pugi::xml_node n = doc.first_child();
    while (n) {
        if (pugi::xml_node child = n.first_child()) {
            n = child;
            deepest = std::max(deepest, ++depth);
            if (deepest > kMaxDepth) return deepest;
            continue;
        }
        while (n && !n.next_sibling()) {
            n = n.parent();
            if (depth > 0) --depth;
            if (n == doc) return deepest;
        }
        if (n) n = n.next_sibling();
    }
    return deepest;
}

bool isGeometryName(std::string_view name) {
    return name == "Polygon" || name == "MultiSurface" || name == "LineString" || name == "MultiLineString" ||
           name == "Point" || name == "MultiPoint" || name == "Curve" || name == "MultiCurve" || name == "Surface" ||
           name == "MultiGeometry";
}

bool isPl2000(int code) { return geodesy::isPl2000Epsg(code); }
bool isGeographic(int code) { return code == 4326 || code == 4258; }

// Geographic systems written as URNs or /def/crs/ URIs list latitude first; the short and the old
// epsg.xml# forms are longitude first in practice.
bool latitudeFirstForm(std::string_view srsName) {
    return srsName.find("urn:") != std::string_view::npos || srsName.find("/def/crs/") != std::string_view::npos;
}

struct Srs {
    int code = 0;
    bool northingFirst = false;  // for geographic codes: latitude written first
};

Srs srsFromText(std::string_view text) {
    Srs srs;
    if (text.find("CRS84") != std::string_view::npos) return {4326, false};
    srs.code = GmlParser::parseEpsgCode(text);
    if (srs.code == geodesy::kEpsgPl1992 || isPl2000(srs.code)) srs.northingFirst = true;
    else if (isGeographic(srs.code)) srs.northingFirst = latitudeFirstForm(text);
    return srs;
}

struct ParseContext {
    formats::DataType type = formats::DataType::dzialki;
    Srs documentDefault;  // from the first srsName of the document; flag only for PL-2000 zones
    std::size_t skippedGeometries = 0;
    bool defaultUsed = false;     // a geometry fell back to documentDefault
    std::vector<double> numbers;  // scratch buffer reused for every position list
};

Srs srsOfNode(pugi::xml_node node, ParseContext& ctx) {
    for (pugi::xml_node n = node; n; n = n.parent()) {
        if (!isElement(n)) continue;
        if (pugi::xml_attribute a = n.attribute("srsName")) return srsFromText(a.value());
    }
    ctx.defaultUsed = true;
    return ctx.documentDefault;
}

// Declared coordinate dimension of a position list: its own srsDimension or the nearest ancestor's.
int dimensionOf(pugi::xml_node node) {
    for (pugi::xml_node n = node; n; n = n.parent()) {
        if (!isElement(n)) continue;
        if (pugi::xml_attribute a = n.attribute("srsDimension")) {
            long long d = 0;
            if (platform::parseInt(a.value(), d) && d >= 2 && d <= 4) return static_cast<int>(d);
            return 2;
        }
    }
    return 2;
}

inline bool isListSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Reads a token of at most 15 digits with an optional minus and decimal point, as coordinates are written,
// ending at a blank or the end: digits / 10^fraction is then one correctly rounded division of exact
// values, the same double from_chars gives. Returns the token's end, or nullptr for anything else
// (from_chars reads those).
inline const char* readDigits(const char* p, const char* end, std::uint64_t& mantissa) {
    for (unsigned d; p < end && (d = static_cast<unsigned char>(*p) - static_cast<unsigned>('0')) < 10; ++p)
        mantissa = mantissa * 10 + d;
    return p;
}

inline const char* plainDecimal(const char* p, const char* end, double& out) {
    const bool negative = p < end && *p == '-';
    if (negative) ++p;
    std::uint64_t mantissa = 0;
    const char* start = p;
    p = readDigits(p, end, mantissa);
    std::ptrdiff_t digits = p - start;
    std::ptrdiff_t fraction = 0;
    if (p < end && *p == '.') {
        const char* fractionStart = ++p;
        p = readDigits(p, end, mantissa);
        fraction = p - fractionStart;
        digits += fraction;
    }
    if ((p < end && !isListSpace(*p)) || digits == 0 || digits > 15) return nullptr;
    static constexpr double kPowers[16] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                           1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    double value = static_cast<double>(mantissa);
    if (fraction > 0) value /= kPowers[fraction];
    out = negative ? -value : value;
    return p;
}

enum class NumbersRead { ok, unusable };

// Whitespace-separated numbers until the first token that is not one. Infinite, NaN and absurdly large
// values make the whole list unusable rather than silently becoming coordinates.
NumbersRead readNumbers(std::string_view text, std::vector<double>& out, std::size_t limit = SIZE_MAX) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end && out.size() < limit) {
        while (p < end && isListSpace(*p)) ++p;
        if (p == end) break;
        const char* start = (*p == '+') ? p + 1 : p;
        double value = 0.0;
        const char* tokenEnd = plainDecimal(start, end, value);
        if (!tokenEnd) {
            tokenEnd = p;
            while (tokenEnd < end && !isListSpace(*tokenEnd)) ++tokenEnd;
            auto [ptr, ec] = std::from_chars(start, tokenEnd, value);
            if (ec == std::errc::result_out_of_range) return NumbersRead::unusable;
            if (ec != std::errc() || ptr != tokenEnd) break;
        }
        if (!std::isfinite(value) || std::fabs(value) > kMaxCoordinate) return NumbersRead::unusable;
        out.push_back(value);
        p = tokenEnd;
    }
    return NumbersRead::ok;
}

// All character data directly inside an element (a list split by comments still reads as one).
template <typename F>
void forEachText(pugi::xml_node element, F&& f) {
    for (pugi::xml_node c = element.first_child(); c; c = c.next_sibling())
        if (c.type() == pugi::node_pcdata || c.type() == pugi::node_cdata) f(std::string_view(c.value()));
}

bool inZone(double value, int zone) { return std::floor(value / 1000000.0) == static_cast<double>(zone); }

bool inLatitudeRange(double v) { return v >= 47.0 && v <= 56.5; }

// One pair as written, converted into PL-1992; false when the conversion gives no finite point.
bool toPl1992(double a, double b, const Srs& srs, geodesy::PlanarPoint& out) {
    if (isPl2000(srs.code)) {
        const int zone = srs.code - 2171;
        const bool aIsEasting = inZone(a, zone);
        const bool bIsEasting = inZone(b, zone);
        double easting = srs.northingFirst ? b : a;
        double northing = srs.northingFirst ? a : b;
        if (aIsEasting != bIsEasting) {
            easting = aIsEasting ? a : b;
            northing = aIsEasting ? b : a;
        }
        geodesy::PlanarPoint p = geodesy::pl2000ToPl1992(easting, northing, srs.code);
        out = {p.x, p.y};
    } else if (isGeographic(srs.code)) {
        // Over Poland latitudes (49..55) and longitudes (14..24.2) never overlap, so the values settle
        // the axis order whatever the server claims; the declared form decides only when they cannot.
        double lat = srs.northingFirst ? a : b;
        double lon = srs.northingFirst ? b : a;
        if (inLatitudeRange(a) != inLatitudeRange(b)) {
            lat = inLatitudeRange(a) ? a : b;
            lon = inLatitudeRange(a) ? b : a;
        }
        geodesy::PlanarPoint p = geodesy::wgs84ToPl1992(lat, lon);
        out = {p.x, p.y};
    } else {
        out = srs.northingFirst ? geodesy::PlanarPoint{b, a} : geodesy::PlanarPoint{a, b};
    }
    return std::isfinite(out.x) && std::isfinite(out.y);
}

bool appendPairs(const std::vector<double>& numbers, int dimension, const Srs& srs,
                 std::vector<geodesy::PlanarPoint>& out) {
    const std::size_t stride = static_cast<std::size_t>(dimension);
    out.reserve(out.size() + numbers.size() / stride);
    for (std::size_t i = 0; i + stride <= numbers.size(); i += stride) {
        geodesy::PlanarPoint p;
        if (!toPl1992(numbers[i], numbers[i + 1], srs, p)) return false;
        out.push_back(p);
    }
    return true;
}

// GML 2 "coordinates": tuples separated by blanks, values by commas. GML 2 always writes x (easting or
// longitude) first, whatever its srsName, so no declared axis order applies.
bool readCoordinatesElement(pugi::xml_node coords, Srs srs, std::vector<geodesy::PlanarPoint>& out, ParseContext& ctx) {
    srs.northingFirst = false;
    std::string text;
    forEachText(coords, [&](std::string_view t) { text.append(t).push_back(' '); });
    const char cs = coords.attribute("cs").value()[0] ? coords.attribute("cs").value()[0] : ',';
    for (char& c : text)
        if (c == cs) c = '\x1f';
    std::size_t pos = 0;
    while (pos < text.size()) {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\n' || text[pos] == '\r'))
            ++pos;
        std::size_t end = pos;
        while (end < text.size() && !(text[end] == ' ' || text[end] == '\t' || text[end] == '\n' || text[end] == '\r'))
            ++end;
        if (end == pos) break;
        std::string tuple = text.substr(pos, end - pos);
        for (char& c : tuple)
            if (c == '\x1f') c = ' ';
        ctx.numbers.clear();
        if (readNumbers(tuple, ctx.numbers) == NumbersRead::unusable) return false;
        if (ctx.numbers.size() < 2) break;
        geodesy::PlanarPoint p;
        if (!toPl1992(ctx.numbers[0], ctx.numbers[1], srs, p)) return false;
        out.push_back(p);
        pos = end;
    }
    return true;
}

// Positions of a ring or a line: its posList, else its pos elements, else GML 2 coordinates.
// False when the list holds values that cannot be coordinates; the geometry is then dropped.
bool readPositions(pugi::xml_node node, const Srs& srs, std::vector<geodesy::PlanarPoint>& out, ParseContext& ctx) {
    if (pugi::xml_node posList = firstNamed(node, "posList")) {
        ctx.numbers.clear();
        bool usable = true;
        forEachText(posList, [&](std::string_view t) {
            if (usable && readNumbers(t, ctx.numbers) == NumbersRead::unusable) usable = false;
        });
        return usable && appendPairs(ctx.numbers, dimensionOf(posList), srs, out);
    }
    bool anyPos = false;
    for (pugi::xml_node n = node; n; n = nextInSubtree(n, node)) {
        if (!nameIs(n, "pos")) continue;
        anyPos = true;
        ctx.numbers.clear();
        bool usable = true;
        forEachText(n, [&](std::string_view t) {
            if (usable && readNumbers(t, ctx.numbers, 2) == NumbersRead::unusable) usable = false;
        });
        if (!usable) return false;
        if (ctx.numbers.size() < 2) continue;
        geodesy::PlanarPoint p;
        if (!toPl1992(ctx.numbers[0], ctx.numbers[1], srs, p)) return false;
        out.push_back(p);
    }
    if (anyPos) return true;
    if (pugi::xml_node coords = firstNamed(node, "coordinates")) return readCoordinatesElement(coords, srs, out, ctx);
    return true;
}

void readPolygon(pugi::xml_node polygon, GisFeature& feature, ParseContext& ctx) {
    const Srs srs = srsOfNode(polygon, ctx);
    GisPolygon result;
    bool haveOuter = false;
    for (pugi::xml_node n = polygon; n; n = nextInSubtree(n, polygon)) {
        if (!nameIs(n, "LinearRing")) continue;
        const std::string_view parent = localName(n.parent().name());
        const bool exterior = parent == "exterior" || parent == "outerBoundaryIs";
        std::vector<geodesy::PlanarPoint> ring;
        if (!readPositions(n, srs, ring, ctx)) {
            ++ctx.skippedGeometries;
            return;
        }
        if (exterior && !haveOuter) {
            result.outer = std::move(ring);
            haveOuter = true;
        } else {
            result.holes.push_back(std::move(ring));
        }
    }
    if (!result.outer.empty()) feature.polygons.push_back(std::move(result));
}

void readLine(pugi::xml_node line, GisFeature& feature, ParseContext& ctx) {
    std::vector<geodesy::PlanarPoint> points;
    if (!readPositions(line, srsOfNode(line, ctx), points, ctx)) {
        ++ctx.skippedGeometries;
        return;
    }
    if (points.size() >= 2) feature.lines.push_back(std::move(points));
}

void readPointAnchor(pugi::xml_node point, GisFeature& feature, ParseContext& ctx) {
    const Srs srs = srsOfNode(point, ctx);
    for (pugi::xml_node n = point; n; n = nextInSubtree(n, point)) {
        if (!nameIs(n, "pos")) continue;
        ctx.numbers.clear();
        bool usable = true;
        forEachText(n, [&](std::string_view t) {
            if (usable && readNumbers(t, ctx.numbers, 2) == NumbersRead::unusable) usable = false;
        });
        if (!usable) {
            ++ctx.skippedGeometries;
            return;
        }
        if (ctx.numbers.size() < 2) continue;
        geodesy::PlanarPoint p;
        if (!toPl1992(ctx.numbers[0], ctx.numbers[1], srs, p)) {
            ++ctx.skippedGeometries;
            return;
        }
        feature.anchor = p;
        feature.hasAnchor = true;
        return;
    }
    if (pugi::xml_node coords = firstNamed(point, "coordinates")) {
        std::vector<geodesy::PlanarPoint> points;
        if (!readCoordinatesElement(coords, srs, points, ctx)) {
            ++ctx.skippedGeometries;
            return;
        }
        if (!points.empty()) {
            feature.anchor = points.front();
            feature.hasAnchor = true;
        }
    }
}

void readGeometry(pugi::xml_node featureElement, GisFeature& feature, ParseContext& ctx) {
    std::vector<pugi::xml_node> polygons, lines;
    pugi::xml_node firstPoint;
    for (pugi::xml_node n = featureElement; n; n = nextInSubtree(n, featureElement)) {
        if (!isElement(n)) continue;
        const std::string_view name = localName(n.name());
        if (name == "Polygon") polygons.push_back(n);
        else if (name == "LineString") lines.push_back(n);
        else if (name == "Point" && !firstPoint) firstPoint = n;
    }
    for (pugi::xml_node p : polygons) readPolygon(p, feature, ctx);
    for (pugi::xml_node l : lines) readLine(l, feature, ctx);
    if (feature.polygons.empty() && feature.lines.empty() && firstPoint) readPointAnchor(firstPoint, feature, ctx);
    if (feature.hasAnchor) return;
    if (!feature.polygons.empty()) {
        const std::vector<geodesy::PlanarPoint>& outer = feature.polygons.front().outer;
        double sx = 0.0, sy = 0.0;
        for (const geodesy::PlanarPoint& p : outer) {
            sx += p.x;
            sy += p.y;
        }
        feature.anchor = {sx / static_cast<double>(outer.size()), sy / static_cast<double>(outer.size())};
        feature.hasAnchor = true;
    } else if (!feature.lines.empty()) {
        const std::vector<geodesy::PlanarPoint>& line = feature.lines.front();
        feature.anchor = line[line.size() / 2];
        feature.hasAnchor = true;
    }
}

bool hasElementChild(pugi::xml_node n) {
    for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling())
        if (isElement(c)) return true;
    return false;
}

void readProperties(pugi::xml_node featureElement, GisFeature& feature) {
    pugi::xml_attribute id = featureElement.attribute("id");
    if (pugi::xml_attribute fid = featureElement.attribute("fid")) id = fid;
    if (id) feature.props["gml_id"] = validUtf8(id.value());
    // The identity: gml:id (GML 3.2), else fid (GML 2), else a plain id.
    for (pugi::xml_attribute a = featureElement.first_attribute(); a; a = a.next_attribute()) {
        const std::string_view name = a.name();
        if (name == "gml:id" || (feature.id.empty() && (name == "fid" || localName(name) == "id")))
            feature.id = validUtf8(a.value());
    }
    for (pugi::xml_node child = featureElement.first_child(); child; child = child.next_sibling()) {
        if (!isElement(child)) continue;
        const std::string_view name = localName(child.name());
        if (isGeometryName(name) || hasElementChild(child)) continue;
        const char* text = child.first_child().value();
        if (*text) feature.props[validUtf8(name)] = validUtf8(text);
    }
}

bool isCollectionName(std::string_view name) {
    return name == "FeatureCollection" || name == "SimpleFeatureCollection";
}

void readFeature(pugi::xml_node featureElement, GmlParseResult& result, ParseContext& ctx) {
    GisFeature feature;
    feature.type = ctx.type;
    readGeometry(featureElement, feature, ctx);
    readProperties(featureElement, feature);
    feature.props["_typ"] = validUtf8(localName(featureElement.name()));
    if (feature.hasGeometry()) result.features.push_back(std::move(feature));
    else ++result.skippedMembers;
}

// The first srsName of the subtree of `root` in document order, root first.
pugi::xml_attribute firstSrsName(pugi::xml_node root) {
    for (pugi::xml_node n = root; n; n = nextInSubtree(n, root))
        if (isElement(n))
            if (pugi::xml_attribute attr = n.attribute("srsName")) return attr;
    return {};
}

Srs defaultSrsFrom(pugi::xml_attribute attr) {
    Srs srs;
    if (!attr) return srs;
    srs = srsFromText(attr.value());
    // A default taken from elsewhere in the document (often only a bounding box) says nothing reliable
    // about the axis order of the geometries, except for the PL-2000 zones.
    if (srs.code == geodesy::kEpsgPl1992) srs.northingFirst = false;
    return srs;
}

// Every member in the subtree of `top` (itself included), in document order.
void readMembers(pugi::xml_node top, GmlParseResult& result, ParseContext& ctx) {
    for (pugi::xml_node n = top; n; n = nextInSubtree(n, top)) {
        if (!isElement(n)) continue;
        const std::string_view name = localName(n.name());
        if (name == "member" || name == "featureMember") {
            ++result.members;
            pugi::xml_node featureElement;
            for (pugi::xml_node c = n.first_child(); c && !featureElement; c = c.next_sibling())
                if (isElement(c)) featureElement = c;
            if (!featureElement) ++result.skippedMembers;
            // A nested collection (answers to several type names) is not a feature; its own members are read.
            else if (!isCollectionName(localName(featureElement.name()))) readFeature(featureElement, result, ctx);
        } else if (name == "featureMembers") {
            // The GML 3.1 plural wrapper holds many features as direct children.
            for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
                if (!isElement(c)) continue;
                ++result.members;
                readFeature(c, result, ctx);
            }
        }
    }
}

std::size_t lineOfOffset(std::string_view text, std::size_t offset) {
    std::size_t line = 1;
    for (std::size_t i = 0; i < offset && i < text.size(); ++i)
        if (text[i] == '\n') ++line;
    return line;
}

std::string trimmedText(std::string_view t, std::size_t maxLength) {
    while (!t.empty() && std::strchr(" \t\r\n", t.front())) t.remove_prefix(1);
    while (!t.empty() && std::strchr(" \t\r\n", t.back())) t.remove_suffix(1);
    std::string out;
    for (char c : t.substr(0, maxLength)) out.push_back((c == '\n' || c == '\r' || c == '\t') ? ' ' : c);
    return validUtf8(out);
}

bool readExceptionReport(const pugi::xml_document& doc, GmlParseResult& result) {
    pugi::xml_node root = doc.document_element();
    const std::string_view name = localName(root.name());
    if (name != "ExceptionReport" && name != "ServiceExceptionReport") return false;
    std::string code, text;
    for (pugi::xml_node n = root; n; n = nextInSubtree(n, root)) {
        if (!isElement(n)) continue;
        const std::string_view local = localName(n.name());
        if (code.empty() && (local == "Exception" || local == "ServiceException")) {
            if (pugi::xml_attribute c = n.attribute("exceptionCode")) code = trimmedText(c.value(), 80);
            else if (pugi::xml_attribute c2 = n.attribute("code")) code = trimmedText(c2.value(), 80);
        }
        if (text.empty() && (local == "ExceptionText" || local == "ServiceException"))
            text = trimmedText(n.child_value(), 300);
    }
    result.ok = false;
    result.error = "Serwer WFS zglosil blad";
    if (!code.empty()) result.error += " " + code;
    if (!text.empty()) result.error += ": " + text;
    return true;
}

}  // namespace

int GmlParser::parseEpsgCode(std::string_view srsName) {
    // Case-insensitive: the old GML form is ".../epsg.xml#4326".
    std::size_t at = std::string_view::npos;
    for (std::size_t k = 0; k + 4 <= srsName.size() && at == std::string_view::npos; ++k) {
        const auto upper = [&](std::size_t j) {
            return static_cast<char>(std::toupper(static_cast<unsigned char>(srsName[k + j])));
        };
        if (upper(0) == 'E' && upper(1) == 'P' && upper(2) == 'S' && upper(3) == 'G') at = k;
    }
    if (at == std::string_view::npos) return 0;
    int result = 0;
    std::size_t i = at + 4;
    while (i < srsName.size()) {
        if (srsName[i] < '0' || srsName[i] > '9') {
            ++i;
            continue;
        }
        std::size_t end = i;
        while (end < srsName.size() && srsName[end] >= '0' && srsName[end] <= '9') ++end;
        long long value = 0;
        // A run too long for an integer is no EPSG code; it is skipped like any other non-code text.
        if (platform::parseInt(srsName.substr(i, end - i), value) && value > 0 && value <= 2147483647)
            result = static_cast<int>(value);
        i = end;
    }
    return result;
}

namespace {

// The parse of a feature collection one top-level element at a time, each parsed alone into the same small
// document: memory stays small and hot however large the answer. Gives exactly what the parse of the whole
// document gives, or nothing when that cannot be assured; the whole document is then parsed instead.
std::optional<GmlParseResult> parseByParts(std::string_view gml, formats::DataType type) {
    const std::optional<detail::CollectionParts> parts = detail::splitCollection(gml);
    // Exception reports, and roots that leave an empty answer an error, are read whole.
    if (!parts || localName(parts->rootName).find("FeatureCollection") == std::string_view::npos) return std::nullopt;
    std::string buffer(parts->rootTag);
    buffer.append("</").append(parts->rootName).append(">").push_back('\0');
    pugi::xml_document doc;
    if (!doc.load_buffer_inplace(buffer.data(), buffer.size(), pugi::parse_default, pugi::encoding_utf8))
        return std::nullopt;
    ParseContext ctx;
    ctx.type = type;
    bool defaultKnown = false;
    if (pugi::xml_attribute srsName = doc.document_element().attribute("srsName")) {
        ctx.documentDefault = defaultSrsFrom(srsName);
        defaultKnown = true;
    }
    // Geometries inherit srsName and srsDimension from their ancestors, the root included: a root carrying
    // them encloses every part, a neutral one otherwise.
    const bool rootInherits = defaultKnown || doc.document_element().attribute("srsDimension");
    const std::string open = rootInherits ? std::string(parts->rootTag) : std::string("<c>");
    const std::string close = rootInherits ? "</" + std::string(parts->rootName) + ">" : std::string("</c>");
    GmlParseResult result;
    // Mostly one feature per part: growing the list by doubling would touch about twice its memory. A feature
    // with geometry takes far more than 64 bytes of text, which bounds the guess for texts of tiny elements.
    result.features.reserve(std::min(parts->children.size(), gml.size() / 64));
    bool usedUnknownDefault = false;
    for (std::string_view child : parts->children) {
        buffer.assign(open).append(child).append(close).push_back('\0');
        // A child cut short (see splitCollection) leaves an element open, which fails here.
        if (!doc.load_buffer_inplace(buffer.data(), buffer.size(), pugi::parse_default, pugi::encoding_utf8) ||
            maxDepth(doc) > kMaxDepth)
            return std::nullopt;
        const pugi::xml_node top = doc.document_element().first_child();
        if (!defaultKnown) {
            if (pugi::xml_attribute srsName = firstSrsName(top)) {
                // Geometries before it took a default that, in the whole document, is this one.
                if (usedUnknownDefault) return std::nullopt;
                ctx.documentDefault = defaultSrsFrom(srsName);
                defaultKnown = true;
            }
        }
        ctx.defaultUsed = false;
        readMembers(top, result, ctx);
        usedUnknownDefault = usedUnknownDefault || (!defaultKnown && ctx.defaultUsed);
    }
    result.skippedGeometries = ctx.skippedGeometries;
    return result;
}

// The parse of `gml`, loaded by pugixml from a copy, or in place from `writable` (the same bytes and a NUL).
GmlParseResult parseText(std::string_view gml, char* writable, formats::DataType type) {
    // An answer declared in an 8-bit encoding is read as the UTF-8 it stands for (offsets then count in that).
    if (isKnownSingleByteLabel(declaredXmlEncoding(gml))) {
        std::string utf8(gml);
        convertXmlToUtf8(utf8);
        return parseText(utf8, nullptr, type);
    }
    GmlParseResult result;
    if (gml.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        result.ok = false;
        result.error = "Pusta odpowiedz serwera (brak danych GML)";
        return result;
    }
    if (std::optional<GmlParseResult> byParts = parseByParts(gml, type)) return std::move(*byParts);
    // A text the reader converts first is read from a copy, so both entries report the same offsets.
    if (!detail::readAsUtf8(gml)) writable = nullptr;
    pugi::xml_document doc;
    // Parsing in place overwrites bytes before a failure, so line starts are noted first for the message.
    std::vector<std::size_t> newlines;
    if (writable) {
        for (const char* p = gml.data();
             (p = static_cast<const char*>(
                  std::memchr(p, '\n', gml.size() - static_cast<std::size_t>(p - gml.data())))) != nullptr;
             ++p)
            newlines.push_back(static_cast<std::size_t>(p - gml.data()));
    }
    pugi::xml_parse_result xml =
        writable ? doc.load_buffer_inplace(writable, gml.size() + 1) : doc.load_buffer(gml.data(), gml.size());
    if (!xml) {
        result.ok = false;
        result.errorOffset = static_cast<std::size_t>(std::max<std::ptrdiff_t>(0, xml.offset));
        result.errorLine =
            writable
                ? 1 + static_cast<std::size_t>(std::lower_bound(newlines.begin(), newlines.end(), result.errorOffset) -
                                               newlines.begin())
                : lineOfOffset(gml, result.errorOffset);
        const bool cutOff = result.errorOffset + 1 >= gml.size() ||
                            (xml.status == pugi::status_end_element_mismatch && result.errorOffset + 16 >= gml.size());
        result.error =
            std::string(cutOff ? "Odpowiedz serwera jest ucieta" : "Odpowiedz serwera nie jest poprawnym XML") +
            platform::cformat(" (bajt %zu, wiersz %zu)", result.errorOffset, result.errorLine);
        return result;
    }
    if (maxDepth(doc) > kMaxDepth) {
        result.ok = false;
        result.error = platform::cformat("Odpowiedz GML jest zagniezdzona glebiej niz %zu poziomow", kMaxDepth);
        return result;
    }
    if (readExceptionReport(doc, result)) return result;

    ParseContext ctx;
    ctx.type = type;
    pugi::xml_node root = doc.document_element();
    ctx.documentDefault = defaultSrsFrom(firstSrsName(root));
    readMembers(root, result, ctx);
    result.skippedGeometries = ctx.skippedGeometries;
    const std::string_view rootName = localName(root.name());
    if (result.members == 0 && rootName.find("FeatureCollection") == std::string_view::npos) {
        result.ok = false;
        result.error =
            "Odpowiedz serwera nie jest kolekcja obiektow GML (element glowny: " + trimmedText(root.name(), 80) + ")";
    }
    return result;
}

}  // namespace

GmlParseResult GmlParser::parse(std::string_view gml, formats::DataType type) { return parseText(gml, nullptr, type); }

GmlParseResult GmlParser::parseInPlace(std::span<char> gml, formats::DataType type) {
    // The closing NUL stands where the copying parse puts one after its copy, so both parse the same bytes.
    if (gml.empty() || gml.back() != '\0') return parse(std::string_view(gml.data(), gml.size()), type);
    return parseText(std::string_view(gml.data(), gml.size() - 1), gml.data(), type);
}

std::vector<GisFeature> GmlParser::parseFeatureCollection(std::string_view gml, formats::DataType type) {
    return parse(gml, type).features;
}

}  // namespace gml
