#include "model/ModelState.h"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <type_traits>

namespace model {

namespace {

host::Attribute makeAttribute(std::int32_t kind, std::int32_t index, std::string name) {
    host::Attribute a;
    a.kind = kind;
    a.index = index;
    a.name = std::move(name);
    return a;
}

host::Attribute makeFill(std::int32_t index, std::string name, std::int32_t fillKind) {
    host::Attribute a = makeAttribute(host::kAttrFill, index, std::move(name));
    a.fillKind = fillKind;
    return a;
}

host::Attribute makeMaterial(std::int32_t kind, std::int32_t index, std::string name, host::HostColour c) {
    host::Attribute a = makeAttribute(kind, index, std::move(name));
    a.colour = c;
    return a;
}

bool isFinite(double v) { return std::isfinite(v); }
bool isFinite(const host::HostPoint2& p) { return isFinite(p.x) && isFinite(p.y); }
bool isFinite(const host::HostPoint3& p) { return isFinite(p.x) && isFinite(p.y) && isFinite(p.z); }
bool isFinite(const host::HostColour& c) { return isFinite(c.red) && isFinite(c.green) && isFinite(c.blue); }

template <class Points>
bool allFinite(const Points& points) {
    for (const auto& p : points)
        if (!isFinite(p)) return false;
    return true;
}

bool colourInRange(const host::HostColour& c) {
    auto in = [](double v) { return v >= 0.0 && v <= 1.0; };
    return in(c.red) && in(c.green) && in(c.blue);
}

bool penValid(std::int16_t pen) { return pen >= 1 && pen <= 255; }

bool attributeExists(const ModelState& s, std::int32_t kind, std::int32_t index) {
    auto it = s.attributes.find(kind);
    if (it == s.attributes.end()) return false;
    return index >= 1 && static_cast<std::size_t>(index) <= it->second.size();
}

// 0 means "the host's default" wherever an optional attribute index is allowed.
bool optionalAttributeValid(const ModelState& s, std::int32_t kind, std::int32_t index) {
    return index == 0 || attributeExists(s, kind, index);
}

// Number of distinct points of a ring, not counting a repeated closing point.
std::size_t ringSize(const std::vector<host::HostPoint2>& ring) {
    std::size_t n = ring.size();
    if (n >= 2 && ring.front() == ring.back()) --n;
    return n;
}

bool ringsValid(const std::vector<std::vector<host::HostPoint2>>& rings) {
    if (rings.empty()) return false;
    for (const auto& r : rings)
        if (ringSize(r) < 3 || !allFinite(r)) return false;
    return true;
}

host::HostError checkBody(const host::PolylineElement& e, const ModelState&) {
    if (!penValid(e.pen) || e.points.size() < 2 || !allFinite(e.points)) return host::kHostBadPars;
    const auto n = static_cast<std::int32_t>(e.points.size());
    for (const auto& a : e.arcs) {
        if (a.begin < 0 || a.begin >= n || a.end < 0 || a.end >= n || a.begin == a.end) return host::kHostBadPars;
        if (!isFinite(a.angle)) return host::kHostBadPars;
    }
    return host::kHostOk;
}

host::HostError checkBody(const host::TextElement& e, const ModelState&) {
    if (!penValid(e.pen) || !isFinite(e.position) || !isFinite(e.angle) || !isFinite(e.size) ||
        !isFinite(e.widthFactor))
        return host::kHostBadPars;
    if (e.size <= 0.0 || e.widthFactor <= 0.0) return host::kHostBadPars;
    return host::kHostOk;
}

host::HostError checkBody(const host::FillElement& e, const ModelState& s) {
    if (!penValid(e.contourPen) || !ringsValid(e.contours)) return host::kHostBadPars;
    if (!isFinite(e.ownColour) || !isFinite(e.background)) return host::kHostBadPars;
    if (!colourInRange(e.ownColour) || !colourInRange(e.background)) return host::kHostBadPars;
    if (!optionalAttributeValid(s, host::kAttrFill, e.fillType)) return host::kHostBadIndex;
    return host::kHostOk;
}

host::HostError checkBody(const host::MeshElement& e, const ModelState& s) {
    if (!isFinite(e.level) || e.outline.size() < 3 || !allFinite(e.outline)) return host::kHostBadPars;
    for (const auto& line : e.levelLines)
        if (line.empty() || !allFinite(line)) return host::kHostBadPars;
    if (!optionalAttributeValid(s, host::kAttrMaterial, e.material)) return host::kHostBadIndex;
    return host::kHostOk;
}

host::HostError checkBody(const host::SlabElement& e, const ModelState& s) {
    if (!isFinite(e.level) || !isFinite(e.thickness) || e.thickness <= 0.0) return host::kHostBadPars;
    if (!ringsValid(e.contours)) return host::kHostBadPars;
    if (!optionalAttributeValid(s, host::kAttrBuildingMaterial, e.buildingMaterial)) return host::kHostBadIndex;
    for (std::int32_t m : {e.topMaterial, e.sideMaterial, e.bottomMaterial})
        if (!optionalAttributeValid(s, host::kAttrMaterial, m)) return host::kHostBadIndex;
    return host::kHostOk;
}

// A morph body must be closed where it claims to be: every polygon is a closed walk along its
// edges, every reference lies in range.
host::HostError checkBody(const host::MorphElement& e, const ModelState& s) {
    for (double v : e.transform)
        if (!isFinite(v)) return host::kHostBadPars;
    if (e.polygons.empty() || !allFinite(e.vertices)) return host::kHostBadPars;
    const auto nv = static_cast<std::int32_t>(e.vertices.size());
    const auto ne = static_cast<std::int32_t>(e.edges.size());
    for (const auto& edge : e.edges) {
        if (edge.from < 1 || edge.from > nv || edge.to < 1 || edge.to > nv || edge.from == edge.to)
            return host::kHostBadPars;
    }
    for (const auto& p : e.polygons) {
        if (p.edges.size() < 3) return host::kHostBadPars;
        for (std::int32_t ref : p.edges)
            if (ref == 0 || ref < -ne || ref > ne) return host::kHostBadPars;
        auto start = [&](std::int32_t ref) {
            const host::MorphEdge& ed = e.edges[static_cast<std::size_t>(std::abs(ref) - 1)];
            return ref > 0 ? ed.from : ed.to;
        };
        auto end = [&](std::int32_t ref) {
            const host::MorphEdge& ed = e.edges[static_cast<std::size_t>(std::abs(ref) - 1)];
            return ref > 0 ? ed.to : ed.from;
        };
        for (std::size_t i = 0; i < p.edges.size(); ++i) {
            if (end(p.edges[i]) != start(p.edges[(i + 1) % p.edges.size()])) return host::kHostBadPars;
        }
        if (p.hasMaterial && !attributeExists(s, host::kAttrMaterial, p.material)) return host::kHostBadIndex;
    }
    return host::kHostOk;
}

host::HostError checkBody(const host::PictureElement& e, const ModelState&) {
    if (!isFinite(e.boxMin) || !isFinite(e.boxMax) || !isFinite(e.angle)) return host::kHostBadPars;
    if (!(e.boxMax.x > e.boxMin.x) || !(e.boxMax.y > e.boxMin.y)) return host::kHostBadPars;
    if (e.mimeType.empty() || e.bytes.empty()) return host::kHostBadPars;
    return host::kHostOk;
}

}  // namespace

ModelState newProjectState() {
    ModelState s;
    s.attributes[host::kAttrLayer] = {makeAttribute(host::kAttrLayer, 1, "Warstwa podstawowa")};
    s.attributes[host::kAttrFill] = {
        makeFill(1, "Pelne", host::kFillSolid),
        makeFill(2, "Cegla", host::kFillVectorial),
        makeFill(3, "Kreskowanie pionowe", host::kFillVectorial),
        makeFill(4, "Kreskowanie ukosne", host::kFillVectorial),
    };
    s.attributes[host::kAttrMaterial] = {
        makeMaterial(host::kAttrMaterial, 1, "Tynk bialy", {1.0, 1.0, 1.0}),
        makeMaterial(host::kAttrMaterial, 2, "Beton", {0.6, 0.6, 0.6}),
        makeMaterial(host::kAttrMaterial, 3, "Dachowka", {0.6, 0.25, 0.15}),
    };
    s.attributes[host::kAttrBuildingMaterial] = {
        makeMaterial(host::kAttrBuildingMaterial, 1, "Beton konstrukcyjny", {0.6, 0.6, 0.6}),
        makeMaterial(host::kAttrBuildingMaterial, 2, "Cegla ceramiczna", {0.7, 0.35, 0.25}),
    };
    return s;
}

std::int32_t elementTypeOf(const ElementBody& body) {
    static constexpr std::int32_t kTypes[] = {host::kElemPolyline, host::kElemText,  host::kElemFill,   host::kElemMesh,
                                              host::kElemSlab,     host::kElemMorph, host::kElemPicture};
    static_assert(std::size(kTypes) == std::variant_size_v<ElementBody>);
    return kTypes[body.index()];
}

std::int32_t elementLayerOf(const ElementBody& body) {
    return std::visit([](const auto& e) { return e.layer; }, body);
}

host::HostError checkElement(const ElementBody& body, const ModelState& state) {
    if (!attributeExists(state, host::kAttrLayer, elementLayerOf(body))) return host::kHostBadIndex;
    return std::visit([&](const auto& e) { return checkBody(e, state); }, body);
}

host::HostError checkNewAttribute(const host::Attribute& attr, const ModelState& state) {
    if (attr.kind != host::kAttrLayer && attr.kind != host::kAttrFill && attr.kind != host::kAttrMaterial &&
        attr.kind != host::kAttrBuildingMaterial)
        return host::kHostBadPars;
    if (attr.name.empty() || attr.name.size() > 255) return host::kHostBadPars;
    if (!isFinite(attr.colour) || !colourInRange(attr.colour)) return host::kHostBadPars;
    auto it = state.attributes.find(attr.kind);
    if (it != state.attributes.end()) {
        for (const auto& a : it->second)
            if (a.name == attr.name) return host::kHostNameInUse;
    }
    return host::kHostOk;
}

host::HostError checkGeoLocation(const host::GeoLocation& g) {
    for (double v : {g.longitude, g.latitude, g.altitude, g.rotation, g.surveyEasting, g.surveyNorthing, g.surveyHeight,
                     g.xAxisAbscissa, g.xAxisOrdinate, g.scale, g.surveyExtra1, g.surveyExtra2})
        if (!isFinite(v)) return host::kHostBadPars;
    return host::kHostOk;
}

std::string validUtf8(const std::string& text) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char c = s[i];
        std::size_t len = 0;
        std::uint32_t cp = 0;
        if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
            continue;
        } else if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            len = 4;
            cp = c & 0x07;
        }
        bool valid = len > 0 && i + len <= n;
        for (std::size_t k = 1; valid && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80) valid = false;
            else cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not characters.
        if (valid && ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                      (cp >= 0xD800 && cp <= 0xDFFF)))
            valid = false;
        if (valid) {
            out.append(text, i, len);
            i += len;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

}  // namespace model
