// Export of a project: AutoCAD DXF, GeoJSON in the project's PL-2000 zone, an SVG plan, the 3D elements and
// pictures as binary glTF, and the whole model as georeferenced IFC 4.
#pragma once
#include <cstddef>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "exporter/ModelSnapshot.h"

namespace exporter {

// Outcome of an export; error is a Polish text saying what failed.
struct ExportResult {
    bool ok = false;
    std::string error;
    std::vector<std::string> files;                         // every file written, relative to the folder, in order
    std::map<std::string, std::size_t> dxfEntitiesByLayer;  // vector entities (no IMAGE) per layer name
    std::size_t dxfImages = 0;
    std::size_t geoJsonFeatures = 0;
    std::size_t picturesSkipped = 0;  // picture data neither PNG nor JPEG
    std::size_t glbNodes = 0;         // 3D elements in model.glb
    std::size_t glbPictures = 0;      // pictures in model.glb (textured quads)
    std::size_t ifcProducts = 0;      // elements in model.ifc
    bool ifcGeoreferenced = false;    // model.ifc carries a map conversion to a PL-2000 (or PL-1992) system
    bool georeferenced = false;       // a survey point or a known CRS places the GeoJSON in a zone
};

// Writes dir/images/*, dir/model.dxf, dir/model.geojson, dir/plan.svg, dir/model.glb and dir/model.ifc, each file
// atomically and streamed, so that memory stays near the model's own size.
ExportResult exportModel(const ModelSnapshot& model, const std::filesystem::path& dir);

}  // namespace exporter
