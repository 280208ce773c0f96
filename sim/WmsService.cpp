#include "WmsService.h"

#include <algorithm>
#include <cmath>

#include "ImageEncoder.h"
#include "RasterCanvas.h"
#include "WfsService.h"
#include "geodesy/Crs.h"
#include "platform/Numbers.h"

namespace sim {

namespace {
void serviceException(SimResponse& response, const std::string& code, const std::string& text) {
    response.status = 200;
    response.contentType = "application/vnd.ogc.se_xml";
    response.body = wmsExceptionReport(code, text);
}

std::vector<std::string> splitList(const std::string& text) {
    std::vector<std::string> out;
    std::size_t pos = 0;
    for (;;) {
        const auto end = text.find(',', pos);
        out.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return out;
}

// Draws the part of a segment that lies on the image (parametric clipping keeps far-off points cheap).
void drawSegment(RgbaImage& image, double x0, double y0, double x1, double y1, std::uint32_t rgba) {
    double t0 = 0.0, t1 = 1.0;
    const double dx = x1 - x0, dy = y1 - y0;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x0, image.width - 1 - x0, y0, image.height - 1 - y0};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return;
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        if (t0 > t1) return;
    }
    const double ax = x0 + t0 * dx, ay = y0 + t0 * dy, bx = x0 + t1 * dx, by = y0 + t1 * dy;
    const int steps = static_cast<int>(std::max(std::fabs(bx - ax), std::fabs(by - ay))) + 1;
    for (int s = 0; s <= steps; ++s) {
        const double t = static_cast<double>(s) / steps;
        image.set(static_cast<int>(std::lround(ax + (bx - ax) * t)), static_cast<int>(std::lround(ay + (by - ay) * t)),
                  rgba);
    }
}
}  // namespace

std::string wmsExceptionReport(const std::string& code, const std::string& text) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ServiceExceptionReport version=\"1.1.1\">\n"
           "  <ServiceException code=\"" +
           xmlEscape(code) + "\">" + xmlEscape(text) + "</ServiceException>\n</ServiceExceptionReport>\n";
}

void WmsService::addLayer(Layer layer) { layers_.push_back(std::move(layer)); }

bool WmsService::handle(const SimRequest& request, SimResponse& response) const {
    const std::string operation = request.param("request");
    if (equalsNoCase(operation, "GetCapabilities")) capabilities(request, response);
    else if (equalsNoCase(operation, "GetMap")) getMap(request, response);
    else serviceException(response, "OperationNotSupported", "Nieobslugiwane zapytanie: " + operation);
    return true;
}

void WmsService::capabilities(const SimRequest& request, SimResponse& response) const {
    const bool v111 = request.param("version") == "1.1.1";
    const std::string tag = v111 ? "SRS" : "CRS";
    std::string systemsXml;
    for (int code : systems) systemsXml += "<" + tag + ">EPSG:" + platform::cformat("%d", code) + "</" + tag + ">";
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += v111 ? "<WMT_MS_Capabilities version=\"1.1.1\">\n"
                : "<WMS_Capabilities version=\"1.3.0\" xmlns=\"http://www.opengis.net/wms\">\n";
    xml +=
        "  <Service><Name>WMS</Name><Title>Usluga WMS (symulator)</Title></Service>\n"
        "  <Capability>\n    "
        "<Request><GetMap><Format>image/png</Format><Format>image/jpeg</Format></GetMap></Request>\n"
        "    <Layer><Title>Warstwy</Title>" +
        systemsXml + "\n";
    for (const auto& layer : layers_)
        xml += "      <Layer queryable=\"0\"><Name>" + xmlEscape(layer.name) + "</Name><Title>" +
               xmlEscape(layer.title.empty() ? layer.name : layer.title) + "</Title></Layer>\n";
    xml += "    </Layer>\n  </Capability>\n";
    xml += v111 ? "</WMT_MS_Capabilities>\n" : "</WMS_Capabilities>\n";
    response.contentType = v111 ? "application/vnd.ogc.wms_xml" : "text/xml";
    response.body = xml;
}

void WmsService::getMap(const SimRequest& request, SimResponse& response) const {
    const bool v130 = request.param("version") == "1.3.0";
    std::vector<const Layer*> chosen;
    for (const auto& name : splitList(request.param("layers"))) {
        const auto found = std::find_if(layers_.begin(), layers_.end(), [&](const Layer& l) { return l.name == name; });
        if (found == layers_.end()) {
            serviceException(response, "LayerNotDefined", "Nieznana warstwa: " + name);
            return;
        }
        chosen.push_back(&*found);
    }
    long long width = 0, height = 0;
    if (!platform::parseInt(request.param("width"), width) || !platform::parseInt(request.param("height"), height) ||
        width < 1 || height < 1 || width > maxSize || height > maxSize) {
        serviceException(response, "InvalidDimensionValue", "Nieprawidlowy rozmiar obrazu");
        return;
    }
    const std::string format = request.param("format");
    const bool jpeg = format == "image/jpeg";
    if (!jpeg && format != "image/png") {
        serviceException(response, "InvalidFormat", "Nieobslugiwany format: " + format);
        return;
    }
    const int code = epsgOfSystemText(request.param(v130 ? "crs" : "srs"));
    // Web Mercator is not announced but answered: the pages' map tiles ask for it.
    const bool mercator = code == 3857;
    if (!mercator && std::find(systems.begin(), systems.end(), code) == systems.end()) {
        serviceException(response, v130 ? "InvalidCRS" : "InvalidSRS", "Nieobslugiwany uklad");
        return;
    }
    const auto parts = splitList(request.param("bbox"));
    double v[4];
    bool ok = parts.size() == 4;
    for (int i = 0; ok && i < 4; ++i) ok = platform::parseDouble(parts[i], v[i]) && std::isfinite(v[i]);
    if (v130 && ok && !mercator) {
        // WMS 1.3.0 follows the system's own axis order: northing first for the Polish grids.
        std::swap(v[0], v[1]);
        std::swap(v[2], v[3]);
    }
    if (!ok || !(v[2] > v[0]) || !(v[3] > v[1])) {
        serviceException(response, "InvalidParameterValue", "Nieprawidlowy BBOX");
        return;
    }
    const bool transparent = equalsNoCase(request.param("transparent"), "true") && !jpeg;
    RgbaImage image(static_cast<int>(width), static_cast<int>(height), transparent ? 0xFFFFFF00u : 0xF0F0F0FFu);
    const double sx = static_cast<double>(width) / (v[2] - v[0]);
    const double sy = static_cast<double>(height) / (v[3] - v[1]);
    const auto toPixel = [&](const geodesy::PlanarPoint& p1992, double& px, double& py) {
        geodesy::PlanarPoint p = p1992;
        if (mercator) {
            const geodesy::LatLon ll = geodesy::pl1992ToWgs84(p1992.x, p1992.y);
            constexpr double kRadius = 6378137.0;
            constexpr double kDeg = 3.14159265358979323846 / 180.0;
            p = {kRadius * ll.lon * kDeg, kRadius * std::log(std::tan(3.14159265358979323846 / 4 + ll.lat * kDeg / 2))};
        } else if (code != 2180) {
            p = geodesy::pl1992ToPl2000(p1992, code);
        }
        px = (p.x - v[0]) * sx;
        py = (v[3] - p.y) * sy;
    };
    for (const Layer* layer : chosen) {
        if (layer->paint) {
            RasterCanvas canvas(image, mercator ? 3857 : code, v[0], v[1], v[2], v[3]);
            layer->paint(canvas);
            continue;
        }
        // A frame in the layer's tint, so every layer leaves a visible mark (not on map tiles, where the
        // frames would draw a grid).
        for (int x = 0; !mercator && x < image.width; ++x)
            image.set(x, 0, layer->rgba), image.set(x, image.height - 1, layer->rgba);
        for (int y = 0; !mercator && y < image.height; ++y)
            image.set(0, y, layer->rgba), image.set(image.width - 1, y, layer->rgba);
        if (!layer->store) continue;
        for (const SimFeature* f : layer->store->query(layer->typeName, nullptr)) {
            auto drawPath = [&](const std::vector<geodesy::PlanarPoint>& path, bool closed) {
                for (std::size_t i = 0; i + 1 < path.size() + (closed ? 1 : 0) && path.size() > 1; ++i) {
                    double ax, ay, bx, by;
                    toPixel(path[i], ax, ay);
                    toPixel(path[(i + 1) % path.size()], bx, by);
                    drawSegment(image, ax, ay, bx, by, layer->rgba);
                }
            };
            for (const auto& ring : f->rings) drawPath(ring, true);
            drawPath(f->line, false);
        }
    }
    response.contentType = jpeg ? "image/jpeg" : "image/png";
    response.body = jpeg ? encodeJpeg(image) : encodePng(image);
}

}  // namespace sim
