// Export of a project's drawing: AutoCAD DXF, GeoJSON in the project's PL-2000 zone, an SVG plan and the 3D
// elements as binary glTF.
#pragma once
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>

#include "exporter/ModelSnapshot.h"

namespace exporter {

// Outcome of an export; error is a Polish text saying what failed.
struct ExportResult {
    bool ok = false;
    std::string error;
    std::map<std::string, std::size_t> dxfEntitiesByLayer;  // vector entities (no IMAGE) per layer name
    std::size_t dxfImages = 0;
    std::size_t geoJsonFeatures = 0;
    std::size_t picturesSkipped = 0;  // picture data neither PNG nor JPEG
    std::size_t glbNodes = 0;         // 3D elements in model.glb
    bool georeferenced = false;       // a survey point or a known CRS places the GeoJSON in a zone
};

// Writes dir/model.dxf, dir/images/*, dir/model.geojson, dir/plan.svg and dir/model.glb (each file atomically).
ExportResult exportModel(const ModelSnapshot& model, const std::filesystem::path& dir);

}  // namespace exporter
