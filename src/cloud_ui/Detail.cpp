#include "cloud_ui/Detail.h"

#include <algorithm>
#include <cmath>

namespace cloudui {

Detail detailFromText(std::string_view text) {
    if (text == "lekki") return Detail::Lekki;
    if (text == "full") return Detail::Full;
    return Detail::Standard;
}

double thinningSpacing(Detail detail) {
    switch (detail) {
        case Detail::Lekki: return 0.5;
        case Detail::Full: return 0.0;
        case Detail::Standard: break;
    }
    return 0.2;
}

long long estimatePoints(double area, double density, Detail detail) {
    double points = area * density;
    const double s = thinningSpacing(detail);
    if (s > 0.0) points = std::min(points, area / (s * s));
    if (!(points > 0.0)) return 0;
    return std::llround(std::min(points, 9.0e18));
}

}  // namespace cloudui
