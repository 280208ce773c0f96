// A geographic point.
#pragma once

namespace geodesy {

// Degrees (or radians inside the projection series).
struct LatLon {
    double lat = 0.0;
    double lon = 0.0;
    bool operator==(const LatLon&) const = default;
};

}  // namespace geodesy
