#include "net/WfsLayerFetcher.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "formats/gml/GmlParser.h"
#include "geodesy/Crs.h"
#include "net/Capabilities.h"
#include "net/ServiceRegistryLayers.h"
#include "net/UrlText.h"
#include "platform/Numbers.h"

namespace net {

namespace {

constexpr long long kMaxWholeTypeFeatures = 200000;

std::string separatorFor(const std::string& url) { return url.find('?') != std::string::npos ? "&" : "?"; }

bool inside(const geodesy::PlanarPoint& p, const geodesy::Bbox& b) {
    return p.x >= b.minE && p.x <= b.maxE && p.y >= b.minN && p.y <= b.maxN;
}

// Segment p-q meets the box (Liang-Barsky clipping).
bool segmentMeetsBox(const geodesy::PlanarPoint& p, const geodesy::PlanarPoint& q, const geodesy::Bbox& b) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double ps[4] = {-dx, dx, -dy, dy};
    const double qs[4] = {p.x - b.minE, b.maxE - p.x, p.y - b.minN, b.maxN - p.y};
    for (int i = 0; i < 4; ++i) {
        if (ps[i] == 0.0) {
            if (qs[i] < 0.0) return false;
            continue;
        }
        const double t = qs[i] / ps[i];
        if (ps[i] < 0.0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

bool ringContains(const std::vector<geodesy::PlanarPoint>& ring, double x, double y) {
    bool in = false;
    for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const geodesy::PlanarPoint& a = ring[i];
        const geodesy::PlanarPoint& c = ring[j];
        if ((a.y > y) != (c.y > y) && x < (c.x - a.x) * (y - a.y) / (c.y - a.y) + a.x) in = !in;
    }
    return in;
}

bool pathMeetsBox(const std::vector<geodesy::PlanarPoint>& points, const geodesy::Bbox& b, bool closed) {
    for (const geodesy::PlanarPoint& p : points)
        if (inside(p, b)) return true;
    for (std::size_t i = 1; i < points.size(); ++i)
        if (segmentMeetsBox(points[i - 1], points[i], b)) return true;
    return closed && points.size() > 2 && segmentMeetsBox(points.back(), points.front(), b);
}

// Type-name candidates of a WFS capabilities document: every element whose local name is "Name".
std::vector<std::string> capabilityTypeNames(const std::string& caps) {
    std::vector<std::string> names;
    std::size_t at = 0;
    while ((at = caps.find('<', at)) != std::string::npos) {
        std::size_t nameEnd = at + 1;
        while (nameEnd < caps.size() && caps[nameEnd] != '>' && caps[nameEnd] != '/' && caps[nameEnd] != ' ' &&
               caps[nameEnd] != '\t' && caps[nameEnd] != '\r' && caps[nameEnd] != '\n')
            ++nameEnd;
        std::string_view tag(caps.data() + at + 1, nameEnd - at - 1);
        at = nameEnd;
        const std::size_t colon = tag.find(':');
        if (colon != std::string_view::npos) tag.remove_prefix(colon + 1);
        if (tag != "Name") continue;
        const std::size_t close = caps.find('>', nameEnd);
        if (close == std::string::npos) break;
        if (caps[close - 1] == '/') continue;
        std::size_t end = caps.find('<', close + 1);
        if (end == std::string::npos) end = caps.size();
        std::string name = caps.substr(close + 1, end - close - 1);
        const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (!name.empty() && blank(name.front())) name.erase(name.begin());
        while (!name.empty() && blank(name.back())) name.pop_back();
        if (!name.empty() && name.find(' ') == std::string::npos && name.find('/') == std::string::npos)
            names.push_back(name);
        at = end;
    }
    return names;
}

bool isArchivalName(const std::string& name) {
    const std::string lower = lowerName(name);
    return lower.find("archiw") != std::string::npos || lower.find("hist") != std::string::npos ||
           lower.find("opis") != std::string::npos;
}

void offerCandidate(std::string& slot, const std::string& candidate) {
    if (slot.empty() || (!isArchivalName(candidate) && isArchivalName(slot))) slot = candidate;
}

// Property names (lower case, without '_') that identify a feature within its layer in Polish services.
bool isIdentifierName(const std::string& name) {
    std::string key;
    for (char c : lowerName(name))
        if (c != '_') key.push_back(c);
    return key == "iddzialki" || key == "idbudynku" || key == "lokalnyid" || key == "idiip" || key == "identyfikator" ||
           key == "gmlid" || key == "id" || key == "idobiektu";
}

void appendBits(std::string& key, double v) {
    char bytes[sizeof(double)];
    std::memcpy(bytes, &v, sizeof v);
    key.append(bytes, sizeof bytes);
}

void appendPoints(std::string& key, const std::vector<geodesy::PlanarPoint>& points) {
    key.push_back('|');
    for (const geodesy::PlanarPoint& p : points) {
        appendBits(key, p.x);
        appendBits(key, p.y);
    }
}

// What makes two arrivals of a feature the same feature.
std::string identityOf(const gml::GisFeature& f) {
    const auto typeName = f.props.find("_typ");
    std::string key = typeName != f.props.end() ? typeName->second : std::string();
    if (!f.id.empty()) return key + "#id#" + f.id;
    for (const auto& [name, value] : f.props)
        if (!value.empty() && isIdentifierName(name)) return key + "#" + name + "#" + value;
    key += "#geometry#";
    for (const gml::GisPolygon& p : f.polygons) {
        appendPoints(key, p.outer);
        for (const auto& hole : p.holes) appendPoints(key, hole);
        key.push_back('P');
    }
    for (const auto& line : f.lines) appendPoints(key, line);
    if (f.hasAnchor) appendPoints(key, {f.anchor});
    return key;
}

}  // namespace

std::size_t dropRepeatedFeatures(std::vector<gml::GisFeature>& features) {
    std::unordered_set<std::string> seen;
    seen.reserve(features.size());
    const std::size_t before = features.size();
    std::erase_if(features, [&](const gml::GisFeature& f) { return !seen.insert(identityOf(f)).second; });
    return before - features.size();
}

std::vector<gml::GisFeature> fetchTiledFeatures(WfsClient& client, const std::string& baseUrl,
                                                const std::string& typeName, const geodesy::Bbox& box,
                                                formats::DataType type, const TileProgressCallback& progress,
                                                bool northingFirst, bool wfs110, int epsg, TiledFetchOutcome* outcome) {
    const std::string gml =
        client.fetchWfsTiled(baseUrl, typeName, box, progress, northingFirst, wfs110, epsg, outcome);
    std::vector<gml::GisFeature> features = gml::GmlParser::parseFeatureCollection(gml, type);
    dropRepeatedFeatures(features);
    return features;
}

bool featureTouchesBox(const gml::GisFeature& f, const geodesy::Bbox& frame) {
    if (f.hasAnchor && inside(f.anchor, frame)) return true;
    for (const gml::GisPolygon& p : f.polygons) {
        if (pathMeetsBox(p.outer, frame, true)) return true;
        // A frame drawn inside a large parcel has no vertex of it: the parcel still covers the frame.
        const geodesy::PlanarPoint c = frame.centre();
        if (p.outer.size() > 2 && ringContains(p.outer, c.x, c.y)) return true;
    }
    for (const auto& line : f.lines)
        if (pathMeetsBox(line, frame, false)) return true;
    return false;
}

bool polygonMeetsBox(const gml::GisPolygon& polygon, const geodesy::Bbox& frame) {
    if (pathMeetsBox(polygon.outer, frame, true)) return true;
    for (const auto& hole : polygon.holes)
        if (pathMeetsBox(hole, frame, true)) return true;
    // No boundary reaches the frame, so the frame lies wholly inside or wholly outside the area.
    const geodesy::PlanarPoint c = frame.centre();
    if (polygon.outer.size() < 3 || !ringContains(polygon.outer, c.x, c.y)) return false;
    for (const auto& hole : polygon.holes)
        if (hole.size() > 2 && ringContains(hole, c.x, c.y)) return false;
    return true;
}

bool WfsLayerFetcher::discoverTypeNames(const std::string& wfsUrl, std::string& parcelType, std::string& buildingType) {
    auto memo = typeNames_.find(wfsUrl);
    if (memo == typeNames_.end()) {
        const HttpResponse caps = getCapabilities(client_, wfsUrl, "WFS");
        if (caps.status != 200) return false;
        // What they say about paging spares the tiles asking again.
        client_.resultPagingByService[wfsUrl] = readResultPaging(caps.body);
        std::string parcel, building;
        for (const std::string& name : capabilityTypeNames(caps.body)) {
            const std::string lower = lowerName(name);
            if (lower.find("dzialk") != std::string::npos || lower.find("dzia\xC5\x82k") != std::string::npos ||
                lower.find("parcel") != std::string::npos)
                offerCandidate(parcel, name);
            else if (lower.find("budyn") != std::string::npos || lower.find("building") != std::string::npos)
                offerCandidate(building, name);
        }
        memo = typeNames_.emplace(wfsUrl, std::make_pair(parcel, building)).first;
    }
    parcelType = memo->second.first;
    buildingType = memo->second.second;
    return !parcelType.empty() || !buildingType.empty();
}

int WfsLayerFetcher::rememberedVariant(const std::string& wfsUrl, const std::string& typeName) const {
    auto it = variants_.find(wfsUrl + "|" + typeName);
    return it == variants_.end() ? 0 : it->second;
}

std::vector<gml::GisFeature> WfsLayerFetcher::fetchVariant(int variant, const std::string& wfsUrl,
                                                           const std::string& typeName, const geodesy::Bbox& frame,
                                                           formats::DataType type, const TileProgressCallback& progress,
                                                           TiledFetchOutcome& outcome) {
    bool northingFirst = true, wfs110 = false;
    int epsg = 0;
    if (variant == 2) northingFirst = false;
    if (variant == 3) wfs110 = true;
    if (variant == 4) {
        const geodesy::LatLon centre = geodesy::pl1992ToWgs84(frame.centre());
        epsg = geodesy::pl2000ZoneForLongitude(centre.lon);
    }
    return fetchTiledFeatures(client_, wfsUrl, typeName, frame, type, progress, northingFirst, wfs110, epsg, &outcome);
}

std::vector<gml::GisFeature> WfsLayerFetcher::fetchCountyLayer(const std::string& wfsUrl, const std::string& typeName,
                                                               const geodesy::Bbox& frame, formats::DataType type,
                                                               const TileProgressCallback& progress,
                                                               TiledFetchOutcome* outcome) {
    TiledFetchOutcome local;
    TiledFetchOutcome& report = outcome != nullptr ? *outcome : local;
    report = TiledFetchOutcome{};
    if (typeName.empty()) return {};
    const int remembered = rememberedVariant(wfsUrl, typeName);
    if (remembered != 0) return fetchVariant(remembered, wfsUrl, typeName, frame, type, progress, report);
    TiledFetchOutcome worst;
    for (int variant : {1, 2, 4, 3}) {
        TiledFetchOutcome tried;
        std::vector<gml::GisFeature> features = fetchVariant(variant, wfsUrl, typeName, frame, type, progress, tried);
        const bool onFrame = std::any_of(features.begin(), features.end(),
                                         [&](const gml::GisFeature& f) { return featureTouchesBox(f, frame); });
        if (onFrame) {
            variants_[wfsUrl + "|" + typeName] = variant;
            report = tried;
            return features;
        }
        if (tried.failed > worst.failed || worst.tiles == 0) worst = tried;
        // Refused or cancelled: no other form would fare better.
        if (tried.refused || tried.cancelled) {
            report = tried;
            return {};
        }
    }
    std::vector<gml::GisFeature> whole = fetchWholeTypeWhenSmall(wfsUrl, typeName, frame, type, progress);
    // Features from the whole type stand on their own; without them, what the tiled forms lost is the story.
    if (whole.empty()) report = worst;
    return whole;
}

std::vector<gml::GisFeature> WfsLayerFetcher::fetchWholeTypeWhenSmall(const std::string& wfsUrl,
                                                                      const std::string& typeName,
                                                                      const geodesy::Bbox& frame,
                                                                      formats::DataType type,
                                                                      const TileProgressCallback& progress) {
    const std::string request =
        wfsUrl + separatorFor(wfsUrl) + "service=WFS&version=2.0.0&request=GetFeature&typenames=" + urlEncode(typeName);
    const HttpResponse hits = client_.get(request + "&resultType=hits");
    const std::size_t at = hits.body.find("numberMatched=\"");
    if (at == std::string::npos) return {};
    const std::size_t start = at + 15;
    const std::size_t end = hits.body.find('"', start);
    long long matched = 0;
    if (end == std::string::npos ||
        !platform::parseInt(std::string_view(hits.body).substr(start, end - start), matched))
        return {};
    if (matched < 1 || matched > kMaxWholeTypeFeatures) return {};
    if (progress) progress(0, 1);
    const std::string gml = client_.getCachedText(request, kCachedTextTimeoutMs, AnswerKind::featureCollection);
    if (gml.empty()) return {};
    std::vector<gml::GisFeature> features = gml::GmlParser::parseFeatureCollection(gml, type);
    std::erase_if(features, [&](const gml::GisFeature& f) { return !featureTouchesBox(f, frame); });
    if (progress) progress(1, 1);
    return features;
}

}  // namespace net
