// Host elements of the 2D drawing: polylines, fills, hatches and texts, and the fill types they use.
#include <algorithm>
#include <cctype>
#include <map>

#include "import/Drawing2D.h"

using gml::validUtf8;

namespace {

// Fill types are looked up once per host: the answers stay valid while the same host is installed.
struct FillTypeCache {
    const Host* owner = nullptr;
    bool solidKnown = false;
    std::int32_t solid = 0;
    std::map<std::string, std::int32_t> byFragment;

    void forHost(const Host* h) {
        if (owner == h) return;
        *this = FillTypeCache{};
        owner = h;
    }
};

FillTypeCache& fillCache() {
    static FillTypeCache cache;
    cache.forHost(&host());
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
        std::vector<Attribute> fills;
        if (host().listAttributes(kAttrFill, fills) == kHostOk) {
            for (const Attribute& f : fills) {
                if (f.fillKind == kFillSolid) {
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
    std::vector<Attribute> fills;
    if (host().listAttributes(kAttrFill, fills) != kHostOk) return 0;  // not remembered: may work later
    std::int32_t firstVectorial = 0, named = 0;
    const std::string wanted = lowered(fragment);
    for (const Attribute& f : fills) {
        if (f.fillKind != kFillVectorial) continue;
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

HostColour hostColour(Rgb c) { return {c.r / 255.0, c.g / 255.0, c.b / 255.0}; }

HostError createFillElement(const std::vector<std::vector<HostPoint2>>& rings, std::int32_t layer,
                            std::int16_t contourPen, std::int32_t fillType, std::optional<Rgb> colour) {
    if (rings.empty() || rings.front().size() < 3) return kHostOk;
    FillElement fill;
    if (HostError e = host().defaultFill(fill)) return e;
    fill.layer = layer;
    fill.contourPen = contourPen;
    if (fillType != 0) fill.fillType = fillType;
    if (colour) {
        fill.useOwnColour = true;
        fill.ownColour = hostColour(*colour);
    }
    fill.contours = rings;
    ElementId id;
    return host().createFill(fill, id);
}

}  // namespace

HostError makePolyline(const std::vector<HostPoint2>& points, std::int32_t layer, std::int16_t pen) {
    if (points.size() < 2) return kHostOk;
    PolylineElement line;
    if (HostError e = host().defaultPolyline(line)) return e;
    line.layer = layer;
    line.pen = pen;
    line.arcs.clear();
    line.points = points;
    ElementId id;
    return host().createPolyline(line, id);
}

HostError makeFill(const std::vector<std::vector<HostPoint2>>& rings, std::int32_t layer, std::int16_t contourPen,
                   std::optional<Rgb> colour) {
    if (rings.empty() || rings.front().size() < 3) return kHostOk;
    return createFillElement(rings, layer, contourPen, colour ? solidFillType() : 0, colour);
}

HostError makeHatch(const std::vector<std::vector<HostPoint2>>& rings, std::int32_t layer, std::int16_t contourPen,
                    const std::string& fillNameFragment, Rgb colour) {
    if (rings.empty() || rings.front().size() < 3) return kHostOk;
    return createFillElement(rings, layer, contourPen, hatchFillType(fillNameFragment), colour);
}

HostError makeText(const HostPoint2& position, const std::string& text, std::int32_t layer, std::int16_t pen,
                   double size, std::optional<double> angle) {
    if (text.empty()) return kHostOk;
    TextElement t;
    if (HostError e = host().defaultText(t)) return e;
    t.layer = layer;
    t.pen = pen;
    t.position = position;
    t.anchor = 4;
    t.size = size;
    if (angle) t.angle = *angle;
    t.widthFactor = 100.0;
    t.styleSetting1 = 1;
    t.styleSetting2 = 1;
    t.content = validUtf8(text);  // server texts may hold broken UTF-8
    ElementId id;
    return host().createText(t, id);
}
