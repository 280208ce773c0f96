// Plain coordinate pairs shared by every subsystem.
#pragma once

// A planar point in metres: easting first, northing second (PL-1992 or a PL-2000 zone).
struct EN {
    double e = 0.0;
    double n = 0.0;
    bool operator==(const EN&) const = default;
};

// A geographic point in degrees (or radians inside the projection series).
struct LatLon {
    double lat = 0.0;
    double lon = 0.0;
    bool operator==(const LatLon&) const = default;
};
