// Host elements of the 2D drawing: polylines, fills, hatches and texts, and the fill types they use.
#include <algorithm>
#include <cctype>
#include <map>

#include "import/Drawing2D.h"

namespace importer {

namespace {

// Fill types are looked up once per host: the answers stay valid while the same host is installed.
struct FillTypeCache {
    const host::Host* owner = nullptr;
    bool solidKnown = false;
    std::int32_t solid = 0;
    std::map<std::string, std::int32_t> byFragment;

    void forHost(const host::Host* h) {
        if (owner == h) return;
        *this = FillTypeCache{};
        owner = h;
    }
};

FillTypeCache& fillCache() {
    static FillTypeCache cache;
    cache.forHost(&host::host());
    return cache;
}

std::string lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The solid fill (first fill of kind 2); 0 (the host's default) when there is none.
std::int32_t solidFillType() {
    FillTypeCache& cache = fillCache();
    if (!cache.solidKnown) {
        std::vector<host::Attribute> fills;
        if (host::host().listAttributes(host::kAttrFill, fills) == host::kHostOk) {
            for (const host::Attribute& f : fills) {
                if (f.fillKind == host::kFillSolid) {
                    cache.solid = f.index;
                    break;
                }
            }
            cache.solidKnown = true;
        }
    }
    return cache.solid;
}

// The first vectorial fill whose name holds the fragment, else the first vectorial fill, else 0.
std::int32_t hatchFillType(const std::string& fragment) {
    FillTypeCache& cache = fillCache();
    if (const auto it = cache.byFragment.find(fragment); it != cache.byFragment.end()) return it->second;
    std::vector<host::Attribute> fills;
    if (host::host().listAttributes(host::kAttrFill, fills) != host::kHostOk)
        return 0;  // not remembered: may work later
    std::int32_t firstVectorial = 0, named = 0;
    const std::string wanted = lowered(fragment);
    for (const host::Attribute& f : fills) {
        if (f.fillKind != host::kFillVectorial) continue;
        if (firstVectorial == 0) firstVectorial = f.index;
        if (lowered(f.name).find(wanted) != std::string::npos) {
            named = f.index;
            break;
        }
    }
    const std::int32_t chosen = named != 0 ? named : firstVectorial;
    cache.byFragment[fragment] = chosen;
    return chosen;
}

host::HostColour hostColour(Rgb c) { return {c.r / 255.0, c.g / 255.0, c.b / 255.0}; }

host::HostError createFillElement(const std::vector<std::vector<host::HostPoint2>>& rings, std::int32_t layer,
                                  std::int16_t contourPen, std::int32_t fillType, std::optional<Rgb> colour) {
    if (rings.empty() || rings.front().size() < 3) return host::kHostOk;
    host::FillElement fill;
    if (host::HostError e = host::host().defaultFill(fill)) return e;
    fill.layer = layer;
    fill.contourPen = contourPen;
    if (fillType != 0) fill.fillType = fillType;
    if (colour) {
        fill.useOwnColour = true;
        fill.ownColour = hostColour(*colour);
    }
    fill.contours = rings;
    host::ElementId id;
    return host::host().createFill(fill, id);
}

}  // namespace

host::HostError makePolyline(const std::vector<host::HostPoint2>& points, std::int32_t layer, std::int16_t pen) {
    if (points.size() < 2) return host::kHostOk;
    host::PolylineElement line;
    if (host::HostError e = host::host().defaultPolyline(line)) return e;
    line.layer = layer;
    line.pen = pen;
    line.arcs.clear();
    line.points = points;
    host::ElementId id;
    return host::host().createPolyline(line, id);
}

host::HostError makeFill(const std::vector<std::vector<host::HostPoint2>>& rings, std::int32_t layer,
                         std::int16_t contourPen, std::optional<Rgb> colour) {
    if (rings.empty() || rings.front().size() < 3) return host::kHostOk;
    return createFillElement(rings, layer, contourPen, colour ? solidFillType() : 0, colour);
}

host::HostError makeHatch(const std::vector<std::vector<host::HostPoint2>>& rings, std::int32_t layer,
                          std::int16_t contourPen, const std::string& fillNameFragment, Rgb colour) {
    if (rings.empty() || rings.front().size() < 3) return host::kHostOk;
    return createFillElement(rings, layer, contourPen, hatchFillType(fillNameFragment), colour);
}

host::HostError makeText(const host::HostPoint2& position, const std::string& text, std::int32_t layer,
                         std::int16_t pen, double size, std::optional<double> angle) {
    if (text.empty()) return host::kHostOk;
    host::TextElement t;
    if (host::HostError e = host::host().defaultText(t)) return e;
    t.layer = layer;
    t.pen = pen;
    t.position = position;
    t.anchor = 4;
    t.size = size;
    if (angle) t.angle = *angle;
    t.widthFactor = 100.0;
    t.styleSetting1 = 1;
    t.styleSetting2 = 1;
    t.content = gml::validUtf8(text);  // server texts may hold broken UTF-8
    host::ElementId id;
    return host::host().createText(t, id);
}

}  // namespace importer
