#include "terrain/ContourDrawing.h"

#include "host/Host.h"
#include "terrain/ContourLabel.h"
#include "terrain/ContourSmoothing.h"

namespace terrain {

ContourDrawResult drawContours2d(const std::vector<ContourLine>& contours, const PlanarMap& map, double rotation,
                                 std::int32_t layer, bool smooth, bool drawLines) {
    ContourDrawResult result;
    if (!drawLines) return result;
    // The fetched lines stay as they are, so placing twice draws the same.
    std::vector<ContourLine> lines = contours;
    if (smooth) smoothContours(lines, kContourSmoothPasses, kContourSimplifyTolerance);

    for (const auto& line : lines) {
        if (line.points.size() < 2) {
            ++result.failures;
            continue;
        }
        host::PolylineElement polyline;
        host::ElementId id;
        if (host::host().defaultPolyline(polyline) != host::kHostOk) {
            ++result.failures;
            continue;
        }
        polyline.layer = layer;
        polyline.pen = line.index ? kIndexContourPen : kContourPen;
        polyline.arcs.clear();
        polyline.points.clear();
        polyline.points.reserve(line.points.size());
        for (const auto& p : line.points) polyline.points.push_back(map(p.x, p.y));
        if (host::host().createPolyline(polyline, id) != host::kHostOk) {
            ++result.failures;
            continue;
        }
        ++result.polylines;

        for (const auto& label : labelsForContour(line)) {
            host::TextElement text;
            if (host::host().defaultText(text) != host::kHostOk) {
                ++result.failures;
                continue;
            }
            text.layer = layer;
            text.pen = kContourLabelPen;
            // Centred on the line and set like every other text the add-on places.
            text.anchor = kContourLabelAnchor;
            text.size = kContourLabelSize;
            text.position = map(label.x, label.y);
            text.angle = uprightAngle(label.angle - rotation);
            text.widthFactor = 100.0;
            text.styleSetting1 = 1;
            text.styleSetting2 = 1;
            text.content = label.text;
            if (host::host().createText(text, id) != host::kHostOk) {
                ++result.failures;
                continue;
            }
            ++result.labels;
        }
    }
    return result;
}

}  // namespace terrain
