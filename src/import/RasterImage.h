// A georeferenced picture fetched from a WMS: one tile of one data type.
#pragma once
#include <string>

#include "formats/DataType.h"
#include "geodesy/Bbox.h"
#include "geodesy/Epsg.h"

namespace importer {

// One fetched WMS tile, kept until placement turns it into a picture element.
struct RasterImage {
    formats::DataType type = formats::DataType::rastry;
    // The WMS answer as received: the bytes of a PNG or JPEG file.
    std::string image;
    // System of `box`: a PL-2000 zone 2176..2179, or 2180.
    int epsg = geodesy::kEpsgPl1992;
    // The tile's minimum easting, minimum northing, maximum easting, maximum northing in `epsg`.
    geodesy::Bbox box;
};

}  // namespace importer
