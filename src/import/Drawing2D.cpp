#include "import/Drawing2D.h"

#include <array>
#include <cctype>

#include "settings/DataTypes.h"

namespace importer {

void DrawBounds::add(const host::HostPoint2& p) {
    if (!valid) {
        minX = maxX = p.x;
        minY = maxY = p.y;
        valid = true;
        return;
    }
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
}

namespace {

std::string lowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

bool isUpperLetter(char c) { return c >= 'A' && c <= 'Z'; }

struct ZoneColour {
    const char* code;
    Rgb colour;
};

constexpr std::array<ZoneColour, 13> kPogZoneColours{{
    {"SW", {140, 123, 107}},
    {"SJ", {201, 162, 75}},
    {"SZ", {228, 206, 140}},
    {"SU", {232, 138, 125}},
    {"SH", {231, 158, 196}},
    {"SP", {180, 157, 212}},
    {"SR", {242, 232, 76}},
    {"SI", {204, 204, 204}},
    {"SN", {183, 217, 143}},
    {"SC", {169, 198, 174}},
    {"SG", {232, 196, 220}},
    {"SO", {220, 233, 192}},
    {"SK", {244, 244, 244}},
}};

constexpr const char* kInfillZone = "ObszarUzupelnieniaZabudowy";
constexpr const char* kSocialInfrastructureZone = "ObszarStandardowDostepnosciInfrastrukturySpolecznej";
constexpr const char* kDowntownZone = "ObszarZabudowySrodmiejskiej";
constexpr Rgb kSpecialZoneHatch{90, 90, 90};

std::string propOr(const std::map<std::string, std::string>& props, const char* key, const std::string& fallback) {
    const auto it = props.find(key);
    return it == props.end() ? fallback : it->second;
}

// Draws one feature; the first non-zero host answer of its elements, or 0.
class FeatureDrawer {
public:
    FeatureDrawer(const ProjectTransform& transform, DrawBounds& bounds) : transform_(transform), bounds_(bounds) {}

    host::HostError draw(const gml::GisFeature& f, std::int32_t layer) {
        switch (f.type) {
            case formats::DataType::dzialki: return drawParcel(f, layer);
            case formats::DataType::budynki:
                for (const gml::GisPolygon& p : f.polygons)
                    keep([&] { return importer::makeFill(rings(p, true), layer, kBuildingPen, std::nullopt); });
                return error_;
            case formats::DataType::mpzp:
            case formats::DataType::pog: return drawZone(f, layer);
            case formats::DataType::gesut:
                for (const auto& line : f.lines)
                    keep([&] { return importer::makePolyline(mapped(line, false), layer, kUtilityPen); });
                return error_;
            default: return host::kHostOk;  // base maps come as rasters; 3D kinds are placed by their own steps
        }
    }

private:
    host::HostPoint2 map(const geodesy::PlanarPoint& p) {
        const host::HostPoint2 q = transform_.apply(p.x, p.y);
        bounds_.add(q);
        return q;
    }
    std::vector<host::HostPoint2> mapped(const std::vector<geodesy::PlanarPoint>& points, bool close) {
        std::vector<host::HostPoint2> out;
        out.reserve(points.size() + 1);
        for (const geodesy::PlanarPoint& p : points) out.push_back(map(p));
        if (close && !points.empty() && (points.back().x != points.front().x || points.back().y != points.front().y))
            out.push_back(out.front());
        return out;
    }
    std::vector<std::vector<host::HostPoint2>> rings(const gml::GisPolygon& p, bool withHoles) {
        std::vector<std::vector<host::HostPoint2>> out{mapped(p.outer, true)};
        if (withHoles)
            for (const auto& hole : p.holes) out.push_back(mapped(hole, true));
        return out;
    }
    // Makes one element unless an earlier one of the feature failed (the feature is then skipped).
    template <class Make>
    void keep(Make make) {
        if (error_ == host::kHostOk) error_ = make();
    }

    host::HostError drawParcel(const gml::GisFeature& f, std::int32_t layer) {
        for (const gml::GisPolygon& p : f.polygons) {
            keep([&] { return importer::makePolyline(mapped(p.outer, true), layer, kParcelPen); });
            for (const auto& hole : p.holes)
                keep([&] { return importer::makePolyline(mapped(hole, true), layer, kParcelPen); });
        }
        for (const auto& line : f.lines)
            keep([&] { return importer::makePolyline(mapped(line, false), layer, kParcelPen); });
        if (f.hasAnchor)
            keep([&] { return importer::makeText(map(f.anchor), parcelLabel(f.props), layer, kParcelPen, 1.5); });
        return error_;
    }

    host::HostError drawZone(const gml::GisFeature& f, std::int32_t layer) {
        const bool pog = f.type == formats::DataType::pog;
        std::string symbol = propOr(f.props, "symbol", "");
        const std::string designation = propOr(f.props, "oznaczenie", symbol);
        if (symbol.empty()) symbol = designation;
        const std::string kind = propOr(f.props, "_typ", "");
        const bool special = pog && (kind == kInfillZone || kind == kSocialInfrastructureZone || kind == kDowntownZone);
        const std::optional<Rgb> colour =
            pog && !special && !symbol.empty() ? pogZoneColour(symbol) : std::optional<Rgb>{};
        const std::int16_t pen = pog ? kPogPen : kMpzpPen;
        for (const gml::GisPolygon& p : f.polygons) {
            if (pog && kind == kInfillZone)
                keep([&] {
                    return importer::makeHatch(rings(p, true), layer, kSpecialZonePen, "pion", kSpecialZoneHatch);
                });
            else if (pog && kind == kSocialInfrastructureZone)
                keep([&] {
                    return importer::makeHatch(rings(p, true), layer, kSpecialZonePen, "ukos", kSpecialZoneHatch);
                });
            else if (pog && kind == kDowntownZone)
                keep([&] { return importer::makePolyline(mapped(p.outer, true), layer, kSpecialZonePen); });
            else keep([&] { return importer::makeFill(rings(p, true), layer, pen, colour); });
        }
        if (f.hasAnchor && !designation.empty())
            keep([&] { return importer::makeText(map(f.anchor), designation, layer, pen, 2.5); });
        return error_;
    }

    const ProjectTransform& transform_;
    DrawBounds& bounds_;
    host::HostError error_ = host::kHostOk;
};

// Types the drawing knows; any other code draws nothing and needs no layer.
bool knownType(formats::DataType type) {
    const auto code = static_cast<std::int32_t>(type);
    return code >= 0 && code <= 19;
}

}  // namespace

std::string parcelLabel(const std::map<std::string, std::string>& props) {
    std::string text;
    auto firstWhere = [&props](auto accept) -> std::string {
        for (const auto& [key, value] : props)
            if (!value.empty() && accept(lowerAscii(key))) return value;
        return {};
    };
    text = firstWhere([](const std::string& k) { return has(k, "dzial") && (has(k, "numer") || has(k, "nr")); });
    if (text.empty())
        text = firstWhere([](const std::string& k) { return has(k, "ident") || (has(k, "id") && has(k, "dzial")); });
    if (text.empty())
        text = firstWhere([](const std::string& k) {
            return has(k, "numer") && !has(k, "arkusz") && !has(k, "obreb") && !has(k, "jednost") && !has(k, "rejestr");
        });
    // A full identifier (unit, district, sheet and number joined by dots) is cut to the number.
    const auto dot = text.rfind('.');
    if (dot != std::string::npos && dot + 1 < text.size()) text = text.substr(dot + 1);
    return text;
}

std::optional<Rgb> pogZoneColour(const std::string& symbol) {
    std::string upper = symbol;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const ZoneColour& row : kPogZoneColours) {
        const auto at = upper.find(row.code);
        if (at == std::string::npos) continue;
        const bool freeBefore = at == 0 || !isUpperLetter(upper[at - 1]);
        const bool freeAfter = at + 2 >= upper.size() || !isUpperLetter(upper[at + 2]);
        if (freeBefore && freeAfter) return row.colour;
    }
    return std::nullopt;
}

FeatureDrawResult drawFeatures(const std::vector<gml::GisFeature>& features, const ProjectTransform& transform,
                               LayerMapping& layers) {
    FeatureDrawResult result;
    for (const gml::GisFeature& f : features) {
        const char* key = settings::dataTypeKey(f.type);
        if (!knownType(f.type)) {
            ++result.counts[key];
            continue;
        }
        const std::int32_t layer = layers.layerFor(f.type);
        if (layer == 0) {
            result.error = std::string("Nie mozna utworzyc/odnalezc warstwy dla typu: ") + key;
            return result;
        }
        FeatureDrawer drawer(transform, result.bounds);
        if (drawer.draw(f, layer) != host::kHostOk) {
            ++result.failures;
            continue;
        }
        ++result.counts[key];
    }
    return result;
}

}  // namespace importer
