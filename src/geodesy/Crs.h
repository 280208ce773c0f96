// Conversions between WGS84 degrees, PL-1992 (EPSG 2180) and the PL-2000 zones (EPSG 2176..2179).
// All functions are pure, allocation-free and callable from any thread.
#pragma once
#include <string_view>

#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"
#include "geodesy/LatLon.h"
#include "geodesy/LocalAffine.h"
#include "geodesy/PlanarPoint.h"

namespace geodesy {

// Transverse Mercator on GRS80 (closed-form series): latitude/longitude and central meridian in radians.
PlanarPoint tmForward(double latRad, double lonRad, double k0, double centralMeridianRad, double falseEasting,
                      double falseNorthing);
// Inverse of tmForward; the result is in radians.
LatLon tmInverse(double easting, double northing, double k0, double centralMeridianRad, double falseEasting,
                 double falseNorthing);

// WGS84 degrees (taken as GRS80 geodetic coordinates, no datum shift) to PL-1992.
PlanarPoint wgs84ToPl1992(double latDeg, double lonDeg);
inline PlanarPoint wgs84ToPl1992(LatLon p) { return wgs84ToPl1992(p.lat, p.lon); }
// PL-1992 to WGS84 degrees.
LatLon pl1992ToWgs84(double easting, double northing);
inline LatLon pl1992ToWgs84(PlanarPoint p) { return pl1992ToWgs84(p.x, p.y); }

// PL-1992 to the PL-2000 zone `epsg`; std::invalid_argument("Nieobslugiwany EPSG PL-2000") outside 2176..2179.
PlanarPoint pl1992ToPl2000(double easting, double northing, int epsg);
inline PlanarPoint pl1992ToPl2000(PlanarPoint p, int epsg) { return pl1992ToPl2000(p.x, p.y, epsg); }
// The frame around a PL-1992 frame's four corners mapped into a PL-2000 zone.
inline Bbox pl1992FrameToPl2000(const Bbox& frame, int epsg) {
    return boundsOf({pl1992ToPl2000(frame.minE, frame.minN, epsg), pl1992ToPl2000(frame.maxE, frame.minN, epsg),
                     pl1992ToPl2000(frame.minE, frame.maxN, epsg), pl1992ToPl2000(frame.maxE, frame.maxN, epsg)});
}
// PL-2000 zone `epsg` to WGS84 degrees; same error.
LatLon pl2000ToWgs84(double easting, double northing, int epsg);
inline LatLon pl2000ToWgs84(PlanarPoint p, int epsg) { return pl2000ToWgs84(p.x, p.y, epsg); }
// PL-2000 zone `epsg` to PL-1992; same error.
PlanarPoint pl2000ToPl1992(double easting, double northing, int epsg);
inline PlanarPoint pl2000ToPl1992(PlanarPoint p, int epsg) { return pl2000ToPl1992(p.x, p.y, epsg); }

// The PL-2000 zone (2176..2179) whose strip holds the longitude; a boundary belongs to the eastern zone.
int pl2000ZoneForLongitude(double lonDeg);
// The first of 2176, 2177, 2178, 2179, 2180 whose digits occur anywhere in the text, or 0.
int epsgFromCrsText(std::string_view text);
// An affine frame that maps PL-1992 points near the box centre into the PL-2000 zone; same error.
LocalAffine localAffinePl1992ToPl2000(const Bbox& box1992, int epsg);

}  // namespace geodesy
