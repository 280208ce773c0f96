// Conversions between WGS84 degrees, PL-1992 (EPSG 2180) and the PL-2000 zones (EPSG 2176..2179).
// All functions are pure, allocation-free and callable from any thread.
#pragma once
#include <string_view>

#include "geodesy/Bbox.h"
#include "geodesy/Coordinates.h"
#include "geodesy/LocalAffine.h"

constexpr int kEpsgPl1992 = 2180;
constexpr int kEpsgPl2000Zone5 = 2176;
constexpr int kEpsgPl2000Zone8 = 2179;

// Transverse Mercator on GRS80 (closed-form series): latitude/longitude and central meridian in radians.
EN tmForward(double latRad, double lonRad, double k0, double centralMeridianRad, double falseEasting,
             double falseNorthing);
// Inverse of tmForward; the result is in radians.
LatLon tmInverse(double easting, double northing, double k0, double centralMeridianRad, double falseEasting,
                 double falseNorthing);

// WGS84 degrees (taken as GRS80 geodetic coordinates, no datum shift) to PL-1992.
EN wgs84ToPl1992(double latDeg, double lonDeg);
inline EN wgs84ToPl1992(LatLon p) { return wgs84ToPl1992(p.lat, p.lon); }
// PL-1992 to WGS84 degrees.
LatLon pl1992ToWgs84(double easting, double northing);
inline LatLon pl1992ToWgs84(EN p) { return pl1992ToWgs84(p.e, p.n); }

// PL-1992 to the PL-2000 zone `epsg`; std::invalid_argument("Nieobslugiwany EPSG PL-2000") outside 2176..2179.
EN pl1992ToPl2000(double easting, double northing, int epsg);
inline EN pl1992ToPl2000(EN p, int epsg) { return pl1992ToPl2000(p.e, p.n, epsg); }
// PL-2000 zone `epsg` to WGS84 degrees; same error.
LatLon pl2000ToWgs84(double easting, double northing, int epsg);
inline LatLon pl2000ToWgs84(EN p, int epsg) { return pl2000ToWgs84(p.e, p.n, epsg); }
// PL-2000 zone `epsg` to PL-1992; same error.
EN pl2000ToPl1992(double easting, double northing, int epsg);
inline EN pl2000ToPl1992(EN p, int epsg) { return pl2000ToPl1992(p.e, p.n, epsg); }

// The PL-2000 zone (2176..2179) whose strip holds the longitude; a boundary belongs to the eastern zone.
int pl2000ZoneForLongitude(double lonDeg);
// The first of 2176, 2177, 2178, 2179, 2180 whose digits occur anywhere in the text, or 0.
int epsgFromCrsText(std::string_view text);
// An affine frame that maps PL-1992 points near the box centre into the PL-2000 zone; same error.
LocalAffine localAffinePl1992ToPl2000(const Bbox& box1992, int epsg);
