#include "exporter/SvgWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <set>

#include "exporter/ExportGeometry.h"
#include "platform/Numbers.h"

namespace exporter {

namespace {

constexpr double kPlanSize = 1000.0;  // longer side of the plan, in SVG units
constexpr double kMargin = 20.0;
constexpr double kLegendWidth = 220.0;
constexpr double kLegendRow = 18.0;

std::string colourText(const host::HostColour& c) {
    auto channel = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return platform::cformat("#%02x%02x%02x", channel(c.red), channel(c.green), channel(c.blue));
}

struct Extent {
    double minX = std::numeric_limits<double>::infinity(), minY = minX;
    double maxX = -minX, maxY = -minX;
    void add(const host::HostPoint2& p) {
        minX = std::min(minX, p.x), maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y), maxY = std::max(maxY, p.y);
    }
    bool empty() const { return !(minX <= maxX); }
};

// Project metres to SVG units: fitted, y flipped so that north is up.
struct View {
    double minX = 0, maxY = 0, scale = 1;
    // Differences are taken of halves: coordinates near the largest double would overflow to infinity and
    // write NaN into the plan.
    double x(double v) const { return kMargin + (0.5 * v - 0.5 * minX) * scale * 2.0; }
    double y(double v) const { return kMargin + (0.5 * maxY - 0.5 * v) * scale * 2.0; }
    std::string point(const host::HostPoint2& p) const { return platform::cformat("%.3f,%.3f", x(p.x), y(p.y)); }
};

std::vector<host::HostPoint2> pictureCorners(const host::PictureElement& p) {
    const double w = p.boxMax.x - p.boxMin.x, h = p.boxMax.y - p.boxMin.y;
    const double c = std::cos(p.angle), s = std::sin(p.angle);
    const host::HostPoint2 o = p.boxMin;
    return {o, {o.x + c * w, o.y + s * w}, {o.x + c * w - s * h, o.y + s * w + c * h}, {o.x - s * h, o.y + c * h}};
}

Extent extentOf(const ModelSnapshot& model) {
    Extent e;
    for (const auto& el : model.elements) {
        if (const auto* p = std::get_if<host::PolylineElement>(&el.body)) {
            for (const auto& q : tessellatePolyline(*p)) e.add(q);
        } else if (const auto* f = std::get_if<host::FillElement>(&el.body)) {
            for (const auto& ring : f->contours)
                for (const auto& q : ring) e.add(q);
        } else if (const auto* t = std::get_if<host::TextElement>(&el.body)) {
            e.add(t->position);
        } else if (const auto* pic = std::get_if<host::PictureElement>(&el.body)) {
            for (const auto& q : pictureCorners(*pic)) e.add(q);
        } else if (const auto* mesh = std::get_if<host::MeshElement>(&el.body)) {
            for (const auto& q : mesh->outline) e.add({q.x, q.y});
        } else {
            for (const auto& tri : facesOf(el)) {
                e.add({tri.a.x, tri.a.y});
                e.add({tri.b.x, tri.b.y});
                e.add({tri.c.x, tri.c.y});
            }
        }
    }
    return e;
}

std::string pathOf(const std::vector<std::vector<host::HostPoint2>>& rings, const View& v, bool close) {
    std::string d;
    for (const auto& ring : rings) {
        for (std::size_t i = 0; i < ring.size(); ++i) d += (i == 0 ? "M" : " L") + v.point(ring[i]);
        if (close && !ring.empty()) d += " Z ";
    }
    return d;
}

}  // namespace

std::string xmlEscape(const std::string& text) {
    std::string out;
    for (char c : model::validUtf8(text)) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default:
                if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n') out += c;
        }
    }
    return out;
}

std::string writeSvg(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures) {
    Extent extent = extentOf(model);
    if (extent.empty()) extent = {0, 0, 1, 1};
    const double halfSpanX = std::max(0.5 * extent.maxX - 0.5 * extent.minX, 5e-10);
    const double halfSpanY = std::max(0.5 * extent.maxY - 0.5 * extent.minY, 5e-10);
    View view;
    view.minX = extent.minX;
    view.maxY = extent.maxY;
    view.scale = 0.5 * kPlanSize / std::max(halfSpanX, halfSpanY);
    const double planWidth = halfSpanX * view.scale * 2.0, planHeight = halfSpanY * view.scale * 2.0;

    std::set<std::string> used;
    for (const auto& el : model.elements) used.insert(exportLayerName(model, el.header.layer));
    const double width = planWidth + 3 * kMargin + kLegendWidth;
    const double height = std::max(planHeight, used.size() * kLegendRow + kLegendRow) + 2 * kMargin;
    // Strokes and letters keep a readable size on the fitted plan.
    const double stroke = 1.0;

    std::string s = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    s += platform::cformat(
        "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "width=\"%.0f\" height=\"%.0f\" viewBox=\"0 0 %.3f %.3f\">\n",
        std::ceil(width), std::ceil(height), width, height);
    s += "<rect x=\"0\" y=\"0\" width=\"100%\" height=\"100%\" fill=\"#ffffff\"/>\n";

    // One group per layer, in layer order, pictures first so that drawings stay visible on top.
    std::vector<std::string> layerOrder;
    for (const auto& layer : model.layers)
        if (used.count(layer.name)) layerOrder.push_back(layer.name);
    if (used.count("0") && std::find(layerOrder.begin(), layerOrder.end(), "0") == layerOrder.end())
        layerOrder.push_back("0");

    std::size_t nextPicture = 0;
    std::string picturesText;
    for (std::size_t i = 0; i < model.elements.size(); ++i) {
        const auto* pic = std::get_if<host::PictureElement>(&model.elements[i].body);
        if (!pic) continue;
        while (nextPicture < pictures.size() && pictures[nextPicture].element < i) ++nextPicture;
        if (nextPicture >= pictures.size() || pictures[nextPicture].element != i) continue;
        const double w = (0.5 * pic->boxMax.x - 0.5 * pic->boxMin.x) * view.scale * 2.0;
        const double h = (0.5 * pic->boxMax.y - 0.5 * pic->boxMin.y) * view.scale * 2.0;
        picturesText += platform::cformat(
            "<image x=\"0\" y=\"%.3f\" width=\"%.3f\" height=\"%.3f\" "
            "transform=\"translate(%.3f %.3f) rotate(%.6f)\" preserveAspectRatio=\"none\" href=\"",
            -h, w, h, view.x(pic->boxMin.x), view.y(pic->boxMin.y), -pic->angle * 180.0 / std::numbers::pi);
        picturesText += xmlEscape(pictures[nextPicture].relativePath) + "\" xlink:href=\"" +
                        xmlEscape(pictures[nextPicture].relativePath) + "\"/>\n";
    }
    if (!picturesText.empty()) s += "<g id=\"obrazy\">\n" + picturesText + "</g>\n";

    for (const auto& layerName : layerOrder) {
        const std::string colour = colourText(layerColour(layerName));
        s += "<g class=\"warstwa\" data-layer=\"" + xmlEscape(layerName) + "\" stroke=\"" + colour +
             "\" fill=\"none\"" + platform::cformat(" stroke-width=\"%.2f\">\n", stroke);
        for (const auto& el : model.elements) {
            if (exportLayerName(model, el.header.layer) != layerName) continue;
            if (const auto* p = std::get_if<host::PolylineElement>(&el.body)) {
                s += "<path d=\"" + pathOf({tessellatePolyline(*p)}, view, false) + "\"/>\n";
            } else if (const auto* f = std::get_if<host::FillElement>(&el.body)) {
                if (f->contours.empty()) continue;
                const std::string fillColour = f->useOwnColour ? colourText(f->ownColour) : colour;
                s += "<path fill=\"" + fillColour + "\" fill-opacity=\"0.35\" fill-rule=\"evenodd\" d=\"" +
                     pathOf(f->contours, view, true) + "\"/>\n";
            } else if (const auto* t = std::get_if<host::TextElement>(&el.body)) {
                // True to scale, but always legible and never larger than a twentieth of the plan.
                const double size = std::clamp(t->size * view.scale, 6.0, kPlanSize / 20.0);
                s += platform::cformat("<text x=\"%.3f\" y=\"%.3f\" font-size=\"%.2f\" stroke=\"none\" fill=\"%s\"",
                                       view.x(t->position.x), view.y(t->position.y), size, colour.c_str());
                if (t->anchor == 4) s += " text-anchor=\"middle\" dominant-baseline=\"central\"";
                if (t->angle != 0.0)
                    s +=
                        platform::cformat(" transform=\"rotate(%.6f %.3f %.3f)\"", -t->angle * 180.0 / std::numbers::pi,
                                          view.x(t->position.x), view.y(t->position.y));
                s += ">" + xmlEscape(t->content) + "</text>\n";
            } else if (const auto* mesh = std::get_if<host::MeshElement>(&el.body)) {
                // A plan shows a mesh as its outline and level lines; the triangles between its level points
                // would only cover it with diagonals.
                std::vector<host::HostPoint2> outline;
                for (const auto& q : mesh->outline) outline.push_back({q.x, q.y});
                if (outline.size() >= 3) s += "<path d=\"" + pathOf({outline}, view, true) + "\"/>\n";
                for (const auto& line : mesh->levelLines) {
                    if (line.size() < 2) continue;
                    std::vector<host::HostPoint2> flat;
                    for (const auto& q : line) flat.push_back({q.x, q.y});
                    s += "<path stroke-opacity=\"0.5\" d=\"" + pathOf({flat}, view, false) + "\"/>\n";
                }
            } else if (!std::holds_alternative<host::PictureElement>(el.body)) {
                for (const auto& face : facesOf(el)) {
                    s += "<path stroke-opacity=\"0.5\" d=\"" +
                         pathOf({{{face.a.x, face.a.y}, {face.b.x, face.b.y}, {face.c.x, face.c.y}}}, view, true) +
                         "\"/>\n";
                }
            }
        }
        s += "</g>\n";
    }

    // Legend: a swatch and the name of every layer drawn.
    const double lx = planWidth + 2 * kMargin;
    s += "<g id=\"legenda\" font-size=\"12\" font-family=\"sans-serif\">\n";
    s += platform::cformat("<text x=\"%.1f\" y=\"%.1f\" font-weight=\"bold\">Warstwy</text>\n", lx, kMargin + 12.0);
    for (std::size_t i = 0; i < layerOrder.size(); ++i) {
        const double y = kMargin + kLegendRow * static_cast<double>(i + 1);
        s += platform::cformat("<rect x=\"%.1f\" y=\"%.1f\" width=\"14\" height=\"12\" fill=\"%s\"/>", lx, y + 2.0,
                               colourText(layerColour(layerOrder[i])).c_str());
        s += platform::cformat("<text x=\"%.1f\" y=\"%.1f\">", lx + 20.0, y + 12.0) + xmlEscape(layerOrder[i]) +
             "</text>\n";
    }
    s += "</g>\n</svg>\n";
    return s;
}

}  // namespace exporter
