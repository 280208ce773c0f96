#include "terrain/ContourLabel.h"

#include <cmath>
#include <numbers>

#include "platform/Numbers.h"

namespace terrain {

namespace {
constexpr double kShortLine = 50.0;
constexpr double kFirstLabelAt = 25.0;
constexpr double kLabelSpacing = 50.0;
}  // namespace

std::string contourLevelText(double z) {
    std::string text = platform::cformat("%.2f", z);
    for (char& c : text) {
        if (c == '.') c = ',';
    }
    return text;
}

double uprightAngle(double angle) {
    if (!std::isfinite(angle)) return 0.0;
    angle = std::remainder(angle, 2.0 * std::numbers::pi);  // now within [-pi, pi]
    if (angle > std::numbers::pi / 2) angle -= std::numbers::pi;
    else if (angle <= -std::numbers::pi / 2) angle += std::numbers::pi;
    return angle;
}

std::vector<ContourLabel> labelsForContour(const ContourLine& contour) {
    std::vector<ContourLabel> labels;
    const auto& p = contour.points;
    if (!contour.index || p.size() < 2) return labels;
    std::vector<double> cumulative(p.size(), 0.0);
    for (std::size_t i = 1; i < p.size(); ++i)
        cumulative[i] = cumulative[i - 1] + std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
    const double length = cumulative.back();
    if (!(length > 0.0)) return labels;

    std::vector<double> positions;
    if (length < kShortLine) {
        positions.push_back(length / 2);
    } else {
        for (double d = kFirstLabelAt; d < length; d += kLabelSpacing) positions.push_back(d);
    }
    const std::string text = contourLevelText(contour.z);
    std::size_t seg = 1;
    for (double d : positions) {
        while (seg + 1 < p.size() && cumulative[seg] < d) ++seg;
        const geodesy::PlanarPoint& a = p[seg - 1];
        const geodesy::PlanarPoint& b = p[seg];
        const double segLength = cumulative[seg] - cumulative[seg - 1];
        const double t = segLength > 0.0 ? (d - cumulative[seg - 1]) / segLength : 0.0;
        labels.push_back(
            {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y), uprightAngle(std::atan2(b.y - a.y, b.x - a.x)), text});
    }
    return labels;
}

}  // namespace terrain
