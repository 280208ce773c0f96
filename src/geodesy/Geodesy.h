// Geodesy: coordinate pairs, frames and the Polish grid conversions.
#pragma once
#include "geodesy/Bbox.h"         // Bbox: minE, minN, maxE, maxN frame in metres
#include "geodesy/Coordinates.h"  // EN (easting, northing), LatLon (degrees)
#include "geodesy/Crs.h"          // tmForward/tmInverse, WGS84 <-> PL-1992 <-> PL-2000, zone and EPSG helpers
#include "geodesy/LocalAffine.h"  // LocalAffine: eight-double PL-1992 -> PL-2000 linear frame
