// Placement of a fetched WMS tile as a host picture element.
#pragma once
#include <cstdint>

#include "host/Host.h"
#include "import/ProjectTransform.h"
#include "import/RasterImage.h"

namespace importer {

// Makes a picture of the tile on the layer, its corners converted into the working zone when the
// tile is in another system and then through the transform; rotated with the project. An empty image
// makes nothing. Answers 0 or the host's error (kHostOutOfMemory when the bytes cannot be held).
host::HostError placeRasterPicture(const RasterImage& raster, int workingEpsg, const ProjectTransform& transform,
                                   std::int32_t layer);

}  // namespace importer
