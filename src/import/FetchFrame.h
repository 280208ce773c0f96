// The frame and the PL-2000 zone of one fetch request.
#pragma once
#include <string>

#include "geodesy/Bbox.h"

namespace importer {

// The PL-1992 box enclosing the whole WGS84 map frame [west, south, east, north] (degrees):
// all four corners are projected, since a grid box of only two corners would cut the frame.
geodesy::Bbox pl1992FrameFromWgs84(double west, double south, double east, double north);

// The PL-2000 zone (EPSG 2176..2179) of a fetch: from the frame's centre longitude, unless the
// project's CRS name already names a zone, which wins so that repeated imports share one system.
int chooseFetchEpsg(double centreLongitude, const std::string& projectCrsName);

}  // namespace importer
