#include "exporter/ModelExport.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <system_error>

#include <nlohmann/json.hpp>

#include "exporter/DxfWriter.h"
#include "exporter/ElementMesh.h"
#include "exporter/ExportGeometry.h"
#include "exporter/ExportedPicture.h"
#include "exporter/GlbWriter.h"
#include "exporter/IfcWriter.h"
#include "exporter/SvgWriter.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"

namespace fs = std::filesystem;

namespace exporter {

namespace {

// ---- GeoJSON ----

struct ZoneFrame {
    double easting = 0, northing = 0, cosA = 1, sinA = 0;
    std::array<double, 2> operator()(const host::HostPoint2& p) const {
        return {easting + cosA * p.x - sinA * p.y, northing + sinA * p.x + cosA * p.y};
    }
};

ZoneFrame zoneFrameOf(const host::GeoLocation& g) {
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

nlohmann::json ringJson(const std::vector<host::HostPoint2>& contour, const ZoneFrame& zone, bool outer) {
    auto ring = openRing(contour);
    const bool ccw = signedArea(ring) > 0;
    if (ccw != outer) std::reverse(ring.begin(), ring.end());  // outer rings anticlockwise, holes clockwise
    nlohmann::json coords = nlohmann::json::array();
    for (const auto& p : ring) coords.push_back(zone(p));
    if (!ring.empty()) coords.push_back(zone(ring.front()));
    return coords;
}

// One feature of a 2D element, or null for the other kinds.
nlohmann::json geoJsonFeature(const ModelSnapshot& model, const model::StoredElement& el, const ZoneFrame& zone) {
    auto feature = [&](const char* kind, nlohmann::json geometry) {
        nlohmann::json f;
        f["type"] = "Feature";
        f["geometry"] = std::move(geometry);
        f["properties"]["layer"] = exportLayerName(model, el.header.layer);
        f["properties"]["kind"] = kind;
        return f;
    };
    if (const auto* pl = std::get_if<host::PolylineElement>(&el.body)) {
        nlohmann::json coords = nlohmann::json::array();
        for (const auto& p : tessellatePolyline(*pl)) coords.push_back(zone(p));
        return feature("polyline", {{"type", "LineString"}, {"coordinates", coords}});
    }
    if (const auto* fill = std::get_if<host::FillElement>(&el.body)) {
        if (fill->contours.empty()) return nullptr;
        nlohmann::json rings = nlohmann::json::array();
        for (std::size_t i = 0; i < fill->contours.size(); ++i)
            rings.push_back(ringJson(fill->contours[i], zone, i == 0));
        auto f = feature("fill", {{"type", "Polygon"}, {"coordinates", rings}});
        const auto index = static_cast<std::size_t>(fill->fillType);
        if (index >= 1 && index <= model.fills.size()) f["properties"]["fill"] = model.fills[index - 1].name;
        return f;
    }
    if (const auto* text = std::get_if<host::TextElement>(&el.body)) {
        auto f = feature("text", {{"type", "Point"}, {"coordinates", zone(text->position)}});
        f["properties"]["text"] = text->content;
        return f;
    }
    return nullptr;
}

// The GeoJSON file written feature by feature.
bool writeGeoJson(const ModelSnapshot& model, const fs::path& target, std::size_t& features) {
    const ZoneFrame zone = zoneFrameOf(model.geoLocation);
    features = 0;
    return platform::writeFileAtomically(target, [&](const platform::ByteSink& sink) {
        std::string head = "{\n \"type\": \"FeatureCollection\",\n";
        const int epsg = geodesy::epsgFromCrsText(model.geoLocation.crsName);
        if (epsg != 0)
            head += " \"crs\": " +
                    nlohmann::json{{"type", "name"},
                                   {"properties", {{"name", "urn:ogc:def:crs:EPSG::" + std::to_string(epsg)}}}}
                        .dump() +
                    ",\n";
        if (!sink(head + " \"features\": [")) return false;
        for (const auto& el : model.elements) {
            const nlohmann::json f = geoJsonFeature(model, el, zone);
            if (f.is_null()) continue;
            if (!sink((features++ == 0 ? "\n  " : ",\n  ") + f.dump())) return false;
        }
        return sink(features == 0 ? "]\n}\n" : "\n ]\n}\n");
    });
}

}  // namespace

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
        const auto* picture = std::get_if<host::PictureElement>(&model.elements[i].body);
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
        result.files.push_back(out.relativePath);
        pictures.push_back(std::move(out));
    }
    // One pass over the elements: each 3D element is triangulated once and handed to every 3D writer.
    DxfWriter dxf(model, pictures, dir);
    GlbWriter glb(model, pictures, dir);
    IfcWriter ifc(model, pictures, dir);
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        const ElementMesh mesh = meshOf(model.elements[i]);
        dxf.add(i, mesh);
        glb.add(i, mesh);
        ifc.add(i, mesh);
    }
    if (!dxf.finish(dir / "model.dxf", result.error)) return result;
    result.files.push_back("model.dxf");
    result.dxfEntitiesByLayer = dxf.entitiesByLayer();
    result.dxfImages = dxf.images();
    if (!writeGeoJson(model, dir / "model.geojson", result.geoJsonFeatures)) {
        result.error = "Nie mozna zapisac pliku: " + (dir / "model.geojson").string();
        return result;
    }
    result.files.push_back("model.geojson");
    if (!platform::writeFileAtomically(dir / "plan.svg", writeSvg(model, pictures), result.error)) return result;
    result.files.push_back("plan.svg");
    if (!glb.finish(dir / "model.glb", result.error)) return result;
    result.files.push_back("model.glb");
    result.glbNodes = glb.elements3d();
    result.glbPictures = glb.pictures();
    if (!ifc.finish(dir / "model.ifc", result.error)) return result;
    result.files.push_back("model.ifc");
    result.ifcProducts = ifc.products();
    result.ifcGeoreferenced = ifc.georeferenced();
    const host::GeoLocation& g = model.geoLocation;
    result.georeferenced =
        g.surveyEasting != 0.0 || g.surveyNorthing != 0.0 || geodesy::epsgFromCrsText(g.crsName) != 0;
    result.ok = true;
    return result;
}

}  // namespace exporter
