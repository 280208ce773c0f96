#include "exporter/ModelExport.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <system_error>

#include <nlohmann/json.hpp>

#include "exporter/DxfWriter.h"
#include "exporter/ExportGeometry.h"
#include "exporter/ExportedPicture.h"
#include "exporter/GlbWriter.h"
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

std::string geoJsonText(const ModelSnapshot& model, std::size_t& features) {
    const ZoneFrame zone = zoneFrameOf(model.geoLocation);
    nlohmann::json list = nlohmann::json::array();
    auto feature = [&](const model::StoredElement& el, const char* kind, nlohmann::json geometry) {
        nlohmann::json f;
        f["type"] = "Feature";
        f["geometry"] = std::move(geometry);
        f["properties"]["layer"] = exportLayerName(model, el.header.layer);
        f["properties"]["kind"] = kind;
        return f;
    };
    for (const auto& el : model.elements) {
        if (const auto* pl = std::get_if<host::PolylineElement>(&el.body)) {
            nlohmann::json coords = nlohmann::json::array();
            for (const auto& p : tessellatePolyline(*pl)) coords.push_back(zone(p));
            list.push_back(feature(el, "polyline", {{"type", "LineString"}, {"coordinates", coords}}));
        } else if (const auto* fill = std::get_if<host::FillElement>(&el.body)) {
            if (fill->contours.empty()) continue;
            nlohmann::json rings = nlohmann::json::array();
            for (std::size_t i = 0; i < fill->contours.size(); ++i)
                rings.push_back(ringJson(fill->contours[i], zone, i == 0));
            auto f = feature(el, "fill", {{"type", "Polygon"}, {"coordinates", rings}});
            const auto index = static_cast<std::size_t>(fill->fillType);
            if (index >= 1 && index <= model.fills.size()) f["properties"]["fill"] = model.fills[index - 1].name;
            list.push_back(std::move(f));
        } else if (const auto* text = std::get_if<host::TextElement>(&el.body)) {
            auto f = feature(el, "text", {{"type", "Point"}, {"coordinates", zone(text->position)}});
            f["properties"]["text"] = text->content;
            list.push_back(std::move(f));
        }
    }
    features = list.size();
    nlohmann::json doc;
    doc["type"] = "FeatureCollection";
    const int epsg = geodesy::epsgFromCrsText(model.geoLocation.crsName);
    if (epsg != 0)
        doc["crs"] = {{"type", "name"}, {"properties", {{"name", "urn:ogc:def:crs:EPSG::" + std::to_string(epsg)}}}};
    doc["features"] = std::move(list);
    return doc.dump(1) + "\n";
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
        pictures.push_back(std::move(out));
    }
    const DxfDocument dxf = writeDxf(model, pictures);
    if (!platform::writeFileAtomically(dir / "model.dxf", dxf.text, result.error)) return result;
    result.dxfEntitiesByLayer = dxf.entitiesByLayer;
    result.dxfImages = dxf.images;
    if (!platform::writeFileAtomically(dir / "model.geojson", geoJsonText(model, result.geoJsonFeatures), result.error))
        return result;
    if (!platform::writeFileAtomically(dir / "plan.svg", writeSvg(model, pictures), result.error)) return result;
    if (!platform::writeFileAtomically(dir / "model.glb", writeGlb(model, result.glbNodes), result.error))
        return result;
    const host::GeoLocation& g = model.geoLocation;
    result.georeferenced =
        g.surveyEasting != 0.0 || g.surveyNorthing != 0.0 || geodesy::epsgFromCrsText(g.crsName) != 0;
    result.ok = true;
    return result;
}

}  // namespace exporter
