// Geodesy: coordinate pairs, frames and the Polish grid conversions.
#pragma once
#include "geodesy/Bbox.h"          // Bbox: minE, minN, maxE, maxN frame in metres
#include "geodesy/Crs.h"           // tmForward/tmInverse, WGS84 <-> PL-1992 <-> PL-2000, zone and EPSG helpers
#include "geodesy/Epsg.h"          // kEpsgPl1992, kEpsgPl2000Zone5..8, isPl2000Epsg
#include "geodesy/LatLon.h"        // LatLon: degrees
#include "geodesy/LocalAffine.h"   // LocalAffine: eight-double PL-1992 -> PL-2000 linear frame
#include "geodesy/PlanarPoint.h"   // PlanarPoint: x = easting, y = northing in metres
#include "geodesy/SpatialPoint.h"  // SpatialPoint: planar point and height
