// One CityGML sheet of a county package: its zip entry and its extent.
#pragma once
#include <string>

#include "geodesy/Bbox.h"

namespace buildings {

struct PackageSheet {
    std::string entry;     // zip entry name
    geodesy::Bbox extent;  // package coordinates (PL-1992 metres)
    bool operator==(const PackageSheet&) const = default;
};

// Whether two extents touch (shared edges count).
inline bool extentsTouch(const geodesy::Bbox& a, const geodesy::Bbox& b) {
    return a.minE <= b.maxE && b.minE <= a.maxE && a.minN <= b.maxN && b.minN <= a.maxN;
}

}  // namespace buildings
