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
    // The caps divide by the voxel face as a literal: 0.2 * 0.2 is a hair above 0.04 in binary and would
    // round a count that ends in exactly one half the wrong way.
    if (detail == Detail::Lekki) points = std::min(points, area / 0.25);
    if (detail == Detail::Standard) points = std::min(points, area / 0.04);
    if (!(points > 0.0)) return 0;
    return std::llround(std::min(points, 9.0e18));
}

}  // namespace cloudui
