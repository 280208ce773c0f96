// AutoCAD R2000 ASCII DXF of a model snapshot (metres), written element by element.
#pragma once
#include <cstddef>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "exporter/ElementMesh.h"
#include "exporter/ExportedPicture.h"
#include "exporter/ModelSnapshot.h"

namespace exporter {

// Every layer of the snapshot in the LAYER table; polylines with bulges, texts, hatches, images referring to
// the written picture files, and the 3D kinds as polyface meshes (points shared by their triangles, at most
// 32,767 points each, so a large terrain takes several) carrying the element's id.
class DxfWriter {
public:
    // `scratchNear`: where the entities wait until the header can be written (the export's folder).
    DxfWriter(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
              const std::filesystem::path& scratchNear);
    ~DxfWriter();
    // One element of the snapshot, by its position; `mesh` is its triangles (empty for the 2D kinds).
    void add(std::size_t element, const ElementMesh& mesh);
    // Writes the file atomically; false with a Polish error text on failure.
    bool finish(const std::filesystem::path& target, std::string& error);

    // LWPOLYLINE, TEXT/MTEXT, HATCH, POLYLINE (polyface) per layer name.
    const std::map<std::string, std::size_t>& entitiesByLayer() const;
    std::size_t images() const;

private:
    class Impl;
    std::unique_ptr<Impl> impl_;
};

// Layer names as the file has them, by layer index (0 = the default layer "0"): characters a
// drawing layer may not contain become '_', and names equal but for ASCII case get a suffix.
std::vector<std::string> dxfLayerNames(const ModelSnapshot& model);
// A UTF-8 text as the file stores it: Windows-1250 bytes (the header names that code page), other
// characters as \U+XXXX, control characters dropped.
std::string dxfString(const std::string& utf8);

}  // namespace exporter
