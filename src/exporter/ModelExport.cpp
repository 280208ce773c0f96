#include "exporter/ModelExport.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <system_error>

#include <nlohmann/json.hpp>

#include "exporter/DxfWriter.h"
#include "exporter/SvgWriter.h"
#include "geodesy/Crs.h"
#include "platform/ByteOrder.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace {

// ---- Snapshot ----

const std::int32_t kExportedTypes[] = {kElemPicture, kElemFill, kElemPolyline, kElemText,
                                       kElemMesh,    kElemSlab, kElemMorph};

HostError readBody(Host& h, const ElementHeader& header, ElementBody& body) {
    auto read = [&](auto element, auto getter) {
        HostError e = (h.*getter)(header.id, element);
        if (e == kHostOk) body = std::move(element);
        return e;
    };
    switch (header.type) {
        case kElemPolyline: return read(PolylineElement{}, &Host::getPolyline);
        case kElemText: return read(TextElement{}, &Host::getText);
        case kElemFill: return read(FillElement{}, &Host::getFill);
        case kElemMesh: return read(MeshElement{}, &Host::getMesh);
        case kElemSlab: return read(SlabElement{}, &Host::getSlab);
        case kElemMorph: return read(MorphElement{}, &Host::getMorph);
        case kElemPicture: return read(PictureElement{}, &Host::getPicture);
        default: return kHostBadElementType;
    }
}

// ---- Geometry ----

double cross(const HostPoint2& o, const HostPoint2& a, const HostPoint2& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

double signedArea(const std::vector<HostPoint2>& ring) {
    double s = 0.0;
    for (std::size_t i = 0, n = ring.size(); i < n; ++i) {
        const auto& p = ring[i];
        const auto& q = ring[(i + 1) % n];
        s += p.x * q.y - q.x * p.y;
    }
    return s / 2.0;
}

std::vector<HostPoint2> openRing(std::vector<HostPoint2> ring) {
    while (ring.size() >= 2 && ring.front() == ring.back()) ring.pop_back();
    return ring;
}

bool segmentsCross(const HostPoint2& a, const HostPoint2& b, const HostPoint2& c, const HostPoint2& d) {
    if (a == c || a == d || b == c || b == d) return false;  // touching at a shared corner is allowed
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    return ((d1 > 0) != (d2 > 0)) && ((d3 > 0) != (d4 > 0)) && d1 != 0 && d2 != 0 && d3 != 0 && d4 != 0;
}

bool insideTriangle(const HostPoint2& p, const HostPoint2& a, const HostPoint2& b, const HostPoint2& c) {
    return cross(a, b, p) >= 0 && cross(b, c, p) >= 0 && cross(c, a, p) >= 0;
}

// Joins each hole to the outline by a two-way cut so that one ring remains.
void bridgeHoles(std::vector<std::size_t>& polygon, std::vector<std::vector<std::size_t>> holes,
                 const std::vector<HostPoint2>& pts) {
    auto maxX = [&](const std::vector<std::size_t>& ring) {
        return std::max_element(ring.begin(), ring.end(),
                                [&](std::size_t a, std::size_t b) { return pts[a].x < pts[b].x; });
    };
    std::sort(holes.begin(), holes.end(),
              [&](const auto& a, const auto& b) { return pts[*maxX(a)].x > pts[*maxX(b)].x; });
    for (std::size_t hIndex = 0; hIndex < holes.size(); ++hIndex) {
        auto& hole = holes[hIndex];
        const auto start = static_cast<std::size_t>(maxX(hole) - hole.begin());
        const HostPoint2& hp = pts[hole[start]];
        auto blocked = [&](const HostPoint2& target) {
            auto crossesRing = [&](const std::vector<std::size_t>& ring) {
                for (std::size_t i = 0, n = ring.size(); i < n; ++i)
                    if (segmentsCross(hp, target, pts[ring[i]], pts[ring[(i + 1) % n]])) return true;
                return false;
            };
            if (crossesRing(polygon)) return true;
            for (std::size_t k = hIndex; k < holes.size(); ++k)
                if (crossesRing(holes[k])) return true;
            return false;
        };
        std::size_t best = polygon.size();
        double bestDistance = std::numeric_limits<double>::infinity();
        std::size_t nearest = 0;
        double nearestDistance = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < polygon.size(); ++i) {
            const HostPoint2& v = pts[polygon[i]];
            const double d = std::hypot(v.x - hp.x, v.y - hp.y);
            if (d < nearestDistance) nearestDistance = d, nearest = i;
            if (d < bestDistance && !blocked(v)) bestDistance = d, best = i;
        }
        if (best == polygon.size()) best = nearest;
        std::vector<std::size_t> joined(polygon.begin(), polygon.begin() + static_cast<std::ptrdiff_t>(best) + 1);
        for (std::size_t k = 0; k <= hole.size(); ++k) joined.push_back(hole[(start + k) % hole.size()]);
        joined.insert(joined.end(), polygon.begin() + static_cast<std::ptrdiff_t>(best), polygon.end());
        polygon = std::move(joined);
    }
}

std::vector<std::size_t> earClip(std::vector<std::size_t> polygon, const std::vector<HostPoint2>& pts) {
    std::vector<std::size_t> triangles;
    std::size_t guard = 0;
    while (polygon.size() >= 3) {
        const std::size_t n = polygon.size();
        bool clipped = false;
        for (std::size_t i = 0; i < n && !clipped; ++i) {
            const std::size_t ia = polygon[(i + n - 1) % n], ib = polygon[i], ic = polygon[(i + 1) % n];
            const HostPoint2 &a = pts[ia], &b = pts[ib], &c = pts[ic];
            const double turn = cross(a, b, c);
            if (turn == 0.0) {  // a straight or doubled corner adds no area
                polygon.erase(polygon.begin() + static_cast<std::ptrdiff_t>(i));
                clipped = true;
                break;
            }
            if (turn < 0) continue;
            bool empty = true;
            for (std::size_t k = 0; k < n && empty; ++k) {
                const HostPoint2& p = pts[polygon[k]];
                if (p == a || p == b || p == c) continue;
                if (insideTriangle(p, a, b, c)) empty = false;
            }
            if (!empty) continue;
            triangles.insert(triangles.end(), {ia, ib, ic});
            polygon.erase(polygon.begin() + static_cast<std::ptrdiff_t>(i));
            clipped = true;
        }
        if (!clipped) {
            // Self-touching input: cut the first corner rather than loop forever.
            triangles.insert(triangles.end(), {polygon[n - 1], polygon[0], polygon[1]});
            polygon.erase(polygon.begin());
        }
        if (++guard > 1000000) break;
    }
    return triangles;
}

HostPoint3 transformed(const double t[12], const HostPoint3& p) {
    return {t[0] * p.x + t[1] * p.y + t[2] * p.z + t[3], t[4] * p.x + t[5] * p.y + t[6] * p.z + t[7],
            t[8] * p.x + t[9] * p.y + t[10] * p.z + t[11]};
}

void addPlanarFaces(std::int32_t layer, const std::vector<HostPoint3>& loop, std::vector<Face3>& out) {
    if (loop.size() < 3) return;
    // Newell normal: drop its largest component to flatten the polygon without folding it.
    double nx = 0, ny = 0, nz = 0;
    for (std::size_t i = 0; i < loop.size(); ++i) {
        const auto& p = loop[i];
        const auto& q = loop[(i + 1) % loop.size()];
        nx += (p.y - q.y) * (p.z + q.z);
        ny += (p.z - q.z) * (p.x + q.x);
        nz += (p.x - q.x) * (p.y + q.y);
    }
    std::vector<HostPoint2> flat;
    flat.reserve(loop.size());
    const double ax = std::abs(nx), ay = std::abs(ny), az = std::abs(nz);
    for (const auto& p : loop) {
        if (az >= ax && az >= ay) flat.push_back({p.x, p.y});
        else if (ax >= ay) flat.push_back({p.y, p.z});
        else flat.push_back({p.z, p.x});
    }
    std::vector<HostPoint2> pts;
    const auto tri = triangulateRings({flat}, pts);
    // triangulateRings keeps the ring's points in order, so the indices name loop points.
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        if (tri[i] >= loop.size() || tri[i + 1] >= loop.size() || tri[i + 2] >= loop.size()) continue;
        out.push_back({layer, loop[tri[i]], loop[tri[i + 1]], loop[tri[i + 2]]});
    }
}

void addPrismFaces(std::int32_t layer, const std::vector<std::vector<HostPoint2>>& contours, double bottom, double top,
                   std::vector<Face3>& out) {
    std::vector<HostPoint2> pts;
    const auto tri = triangulateRings(contours, pts);
    for (std::size_t i = 0; i + 2 < tri.size(); i += 3) {
        const auto &a = pts[tri[i]], &b = pts[tri[i + 1]], &c = pts[tri[i + 2]];
        out.push_back({layer, {a.x, a.y, top}, {b.x, b.y, top}, {c.x, c.y, top}});
        out.push_back({layer, {a.x, a.y, bottom}, {c.x, c.y, bottom}, {b.x, b.y, bottom}});
    }
    if (top == bottom) return;
    for (const auto& contour : contours) {
        const auto ring = openRing(contour);
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const auto& p = ring[i];
            const auto& q = ring[(i + 1) % ring.size()];
            out.push_back({layer, {p.x, p.y, bottom}, {q.x, q.y, bottom}, {q.x, q.y, top}});
            out.push_back({layer, {p.x, p.y, bottom}, {q.x, q.y, top}, {p.x, p.y, top}});
        }
    }
}

// ---- GeoJSON ----

struct ZoneFrame {
    double easting = 0, northing = 0, cosA = 1, sinA = 0;
    std::array<double, 2> operator()(const HostPoint2& p) const {
        return {easting + cosA * p.x - sinA * p.y, northing + sinA * p.x + cosA * p.y};
    }
};

ZoneFrame zoneFrameOf(const GeoLocation& g) {
    ZoneFrame f;
    f.easting = g.surveyEasting;
    f.northing = g.surveyNorthing;
    // The grid's x-axis turns project axes into the zone's; a georeference that was never set reads 0, 0.
    if (g.xAxisAbscissa != 0.0 || g.xAxisOrdinate != 0.0) {
        const double a = std::atan2(g.xAxisOrdinate, g.xAxisAbscissa);
        f.cosA = std::cos(a);
        f.sinA = std::sin(a);
    }
    return f;
}

nlohmann::json ringJson(const std::vector<HostPoint2>& contour, const ZoneFrame& zone, bool outer) {
    auto ring = openRing(contour);
    const bool ccw = signedArea(ring) > 0;
    if (ccw != outer) std::reverse(ring.begin(), ring.end());  // outer rings anticlockwise, holes clockwise
    nlohmann::json coords = nlohmann::json::array();
    for (const auto& p : ring) coords.push_back(zone(p));
    if (!ring.empty()) coords.push_back(zone(ring.front()));
    return coords;
}

std::string geoJsonText(const ModelSnapshot& model, std::size_t& features) {
    const ZoneFrame zone = zoneFrameOf(model.geoLocation);
    nlohmann::json list = nlohmann::json::array();
    auto feature = [&](const StoredElement& el, const char* kind, nlohmann::json geometry) {
        nlohmann::json f;
        f["type"] = "Feature";
        f["geometry"] = std::move(geometry);
        f["properties"]["layer"] = exportLayerName(model, el.header.layer);
        f["properties"]["kind"] = kind;
        return f;
    };
    for (const auto& el : model.elements) {
        if (const auto* pl = std::get_if<PolylineElement>(&el.body)) {
            nlohmann::json coords = nlohmann::json::array();
            for (const auto& p : tessellatePolyline(*pl)) coords.push_back(zone(p));
            list.push_back(feature(el, "polyline", {{"type", "LineString"}, {"coordinates", coords}}));
        } else if (const auto* fill = std::get_if<FillElement>(&el.body)) {
            if (fill->contours.empty()) continue;
            nlohmann::json rings = nlohmann::json::array();
            for (std::size_t i = 0; i < fill->contours.size(); ++i)
                rings.push_back(ringJson(fill->contours[i], zone, i == 0));
            auto f = feature(el, "fill", {{"type", "Polygon"}, {"coordinates", rings}});
            const auto index = static_cast<std::size_t>(fill->fillType);
            if (index >= 1 && index <= model.fills.size()) f["properties"]["fill"] = model.fills[index - 1].name;
            list.push_back(std::move(f));
        } else if (const auto* text = std::get_if<TextElement>(&el.body)) {
            auto f = feature(el, "text", {{"type", "Point"}, {"coordinates", zone(text->position)}});
            f["properties"]["text"] = text->content;
            list.push_back(std::move(f));
        }
    }
    features = list.size();
    nlohmann::json doc;
    doc["type"] = "FeatureCollection";
    const int epsg = epsgFromCrsText(model.geoLocation.crsName);
    if (epsg != 0)
        doc["crs"] = {{"type", "name"}, {"properties", {{"name", "urn:ogc:def:crs:EPSG::" + std::to_string(epsg)}}}};
    doc["features"] = std::move(list);
    return doc.dump(1) + "\n";
}

}  // namespace

// ---- Public helpers ----

HostError snapshotModel(Host& h, ModelSnapshot& out) {
    ModelSnapshot s;
    if (HostError e = h.listAttributes(kAttrLayer, s.layers)) return e;
    if (HostError e = h.listAttributes(kAttrFill, s.fills)) return e;
    for (std::int32_t type : kExportedTypes) {
        std::vector<ElementId> ids;
        if (HostError e = h.listElements(type, 0, ids)) return e;
        for (const auto& id : ids) {
            StoredElement el;
            if (HostError e = h.getElementHeader(id, el.header)) return e;
            if (HostError e = readBody(h, el.header, el.body)) return e;
            s.elements.push_back(std::move(el));
        }
    }
    if (HostError e = h.readGeoLocation(s.geoLocation)) return e;
    out = std::move(s);
    return kHostOk;
}

ModelSnapshot snapshotOf(const ModelState& state) {
    ModelSnapshot s;
    if (auto it = state.attributes.find(kAttrLayer); it != state.attributes.end()) s.layers = it->second;
    if (auto it = state.attributes.find(kAttrFill); it != state.attributes.end()) s.fills = it->second;
    for (std::int32_t type : kExportedTypes)
        for (const auto& el : state.elements)
            if (el.header.type == type) s.elements.push_back(el);
    s.geoLocation = state.geoLocation;
    return s;
}

std::string exportLayerName(const ModelSnapshot& model, std::int32_t layer) {
    if (layer >= 1 && static_cast<std::size_t>(layer) <= model.layers.size())
        return model.layers[static_cast<std::size_t>(layer - 1)].name;
    return "0";
}

HostColour layerColour(const std::string& layerName) {
    std::uint32_t hash = 2166136261u;  // FNV-1a: stable across runs and machines
    for (unsigned char c : layerName) hash = (hash ^ c) * 16777619u;
    const double hue = static_cast<double>(hash % 360u) / 60.0;
    const double saturation = 0.55 + static_cast<double>((hash >> 9) % 30u) / 100.0;
    const double value = 0.55 + static_cast<double>((hash >> 17) % 30u) / 100.0;
    const double c = value * saturation;
    const double x = c * (1.0 - std::abs(std::fmod(hue, 2.0) - 1.0));
    const double m = value - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue)) {
        case 0: r = c, g = x; break;
        case 1: r = x, g = c; break;
        case 2: g = c, b = x; break;
        case 3: g = x, b = c; break;
        case 4: r = x, b = c; break;
        default: r = c, b = x; break;
    }
    return {r + m, g + m, b + m};
}

double segmentArcAngle(const PolylineElement& polyline, std::size_t i) {
    for (const auto& arc : polyline.arcs) {
        if (arc.begin == static_cast<std::int32_t>(i) && arc.end == static_cast<std::int32_t>(i + 1)) return arc.angle;
        if (arc.end == static_cast<std::int32_t>(i) && arc.begin == static_cast<std::int32_t>(i + 1)) return -arc.angle;
    }
    return 0.0;
}

std::vector<HostPoint2> tessellatePolyline(const PolylineElement& polyline) {
    const auto& pts = polyline.points;
    std::vector<HostPoint2> out;
    if (pts.empty()) return out;
    out.push_back(pts.front());
    for (std::size_t i = 0; i + 1 < pts.size(); ++i) {
        const HostPoint2 p = pts[i], q = pts[i + 1];
        const double angle = segmentArcAngle(polyline, i);
        const double chord = std::hypot(q.x - p.x, q.y - p.y);
        if (std::abs(angle) > 1e-9 && chord > 0.0 && std::abs(angle) < 2.0 * std::numbers::pi) {
            // Positive angles turn anticlockwise from p to q, so the centre lies left of the chord.
            const double d = (chord / 2.0) / std::tan(angle / 2.0);
            const double cx = (p.x + q.x) / 2.0 - (q.y - p.y) / chord * d;
            const double cy = (p.y + q.y) / 2.0 + (q.x - p.x) / chord * d;
            const double radius = std::hypot(p.x - cx, p.y - cy);
            const double start = std::atan2(p.y - cy, p.x - cx);
            const int steps = std::max(2, static_cast<int>(std::ceil(std::abs(angle) / (std::numbers::pi / 36.0))));
            for (int k = 1; k < steps; ++k) {
                const double t = start + angle * k / steps;
                out.push_back({cx + radius * std::cos(t), cy + radius * std::sin(t)});
            }
        }
        out.push_back(q);
    }
    return out;
}

std::vector<std::size_t> triangulateRings(const std::vector<std::vector<HostPoint2>>& rings,
                                          std::vector<HostPoint2>& points) {
    points.clear();
    std::vector<std::size_t> outer;
    std::vector<std::vector<std::size_t>> holes;
    for (std::size_t r = 0; r < rings.size(); ++r) {
        const auto ring = openRing(rings[r]);
        if (ring.size() < 3) {
            if (r == 0) return {};
            continue;
        }
        std::vector<std::size_t> indices;
        for (const auto& p : ring) {
            indices.push_back(points.size());
            points.push_back(p);
        }
        // Outline anticlockwise, holes clockwise, so that bridging keeps one consistent ring.
        const bool ccw = signedArea(ring) > 0;
        if (ccw != (r == 0)) std::reverse(indices.begin(), indices.end());
        if (r == 0) outer = std::move(indices);
        else holes.push_back(std::move(indices));
    }
    bridgeHoles(outer, std::move(holes), points);
    return earClip(std::move(outer), points);
}

std::vector<Face3> facesOf(const StoredElement& element) {
    std::vector<Face3> out;
    if (const auto* mesh = std::get_if<MeshElement>(&element.body)) {
        std::vector<HostPoint3> loop;
        for (const auto& p : mesh->outline) loop.push_back({p.x, p.y, mesh->level + p.z});
        while (loop.size() >= 2 && loop.front() == loop.back()) loop.pop_back();
        addPlanarFaces(mesh->layer, loop, out);
    } else if (const auto* slab = std::get_if<SlabElement>(&element.body)) {
        addPrismFaces(slab->layer, slab->contours, slab->level, slab->level + slab->thickness, out);
    } else if (const auto* morph = std::get_if<MorphElement>(&element.body)) {
        auto vertex = [&](std::int32_t number, HostPoint3& p) {
            if (number < 1 || static_cast<std::size_t>(number) > morph->vertices.size()) return false;
            p = transformed(morph->transform, morph->vertices[static_cast<std::size_t>(number - 1)]);
            return true;
        };
        for (const auto& polygon : morph->polygons) {
            std::vector<HostPoint3> loop;
            bool valid = true;
            for (std::int32_t e : polygon.edges) {
                const auto k = static_cast<std::size_t>(e > 0 ? e : -static_cast<std::int64_t>(e));
                if (e == 0 || k > morph->edges.size()) {
                    valid = false;
                    break;
                }
                const MorphEdge& edge = morph->edges[k - 1];
                HostPoint3 p;
                if (!vertex(e > 0 ? edge.from : edge.to, p)) {
                    valid = false;
                    break;
                }
                loop.push_back(p);
            }
            if (valid) addPlanarFaces(morph->layer, loop, out);
        }
    }
    return out;
}

bool imagePixelSize(const std::vector<std::uint8_t>& b, std::int32_t& width, std::int32_t& height) {
    auto be16 = [&](std::size_t i) { return static_cast<std::int32_t>(platform::readBigEndian16(&b[i])); };
    auto be32 = [&](std::size_t i) { return static_cast<std::int64_t>(platform::readBigEndian32(&b[i])); };
    if (imageExtension(b) == "png") {
        if (b.size() < 24) return false;
        const auto w = be32(16), h = be32(20);
        if (w <= 0 || h <= 0 || w > 1000000 || h > 1000000) return false;
        width = static_cast<std::int32_t>(w);
        height = static_cast<std::int32_t>(h);
        return true;
    }
    if (imageExtension(b) == "jpg") {
        std::size_t i = 2;
        while (i + 4 <= b.size()) {
            if (b[i] != 0xFF) return false;
            const std::uint8_t marker = b[i + 1];
            if (marker == 0xFF) {
                ++i;
                continue;
            }
            if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
                i += 2;
                continue;
            }
            const std::size_t length = static_cast<std::size_t>(be16(i + 2));
            const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (i + 9 > b.size() || length < 7) return false;
                height = be16(i + 5);
                width = be16(i + 7);
                return width > 0 && height > 0;
            }
            if (length < 2) return false;
            i += 2 + length;
        }
    }
    return false;
}

std::string imageExtension(const std::vector<std::uint8_t>& b) {
    static const std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() >= 8 && std::equal(std::begin(kPng), std::end(kPng), b.begin())) return "png";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "jpg";
    return {};
}

ExportResult exportModel(const ModelSnapshot& model, const fs::path& dir) {
    ExportResult result;
    std::error_code ec;
    fs::create_directories(dir / "images", ec);
    if (ec) {
        result.error = "Nie mozna utworzyc katalogu: " + (dir / "images").string();
        return result;
    }
    std::vector<ExportedPicture> pictures;
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        const auto* picture = std::get_if<PictureElement>(&model.elements[i].body);
        if (!picture) continue;
        const std::string ext = imageExtension(picture->bytes);
        if (ext.empty()) {
            ++result.picturesSkipped;
            continue;
        }
        ExportedPicture out;
        out.element = i;
        out.relativePath = "images/obraz_" + std::to_string(pictures.size() + 1) + "." + ext;
        imagePixelSize(picture->bytes, out.pixelWidth, out.pixelHeight);
        const std::string bytes(picture->bytes.begin(), picture->bytes.end());
        if (!platform::writeFileAtomically(dir / out.relativePath, bytes, result.error)) return result;
        pictures.push_back(std::move(out));
    }
    const DxfDocument dxf = writeDxf(model, pictures);
    if (!platform::writeFileAtomically(dir / "model.dxf", dxf.text, result.error)) return result;
    result.dxfEntitiesByLayer = dxf.entitiesByLayer;
    result.dxfImages = dxf.images;
    if (!platform::writeFileAtomically(dir / "model.geojson", geoJsonText(model, result.geoJsonFeatures), result.error))
        return result;
    if (!platform::writeFileAtomically(dir / "plan.svg", writeSvg(model, pictures), result.error)) return result;
    const GeoLocation& g = model.geoLocation;
    result.georeferenced = g.surveyEasting != 0.0 || g.surveyNorthing != 0.0 || epsgFromCrsText(g.crsName) != 0;
    result.ok = true;
    return result;
}
