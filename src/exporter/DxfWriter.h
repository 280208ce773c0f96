// AutoCAD R2000 ASCII DXF text of a model snapshot (metres).
#pragma once
#include <cstddef>
#include <map>
#include <string>
#include <vector>

#include "exporter/ExportedPicture.h"
#include "exporter/ModelSnapshot.h"

namespace exporter {

// The file's text and what it holds.
struct DxfDocument {
    std::string text;
    std::map<std::string, std::size_t> entitiesByLayer;  // LWPOLYLINE, TEXT/MTEXT, HATCH, 3DFACE per layer name
    std::size_t images = 0;
};

// Every layer of the snapshot in the LAYER table; polylines with bulges, texts, hatches, images
// referring to the written picture files, and 3D kinds as triangular faces.
DxfDocument writeDxf(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures);

// Layer names as the file has them, by layer index (0 = the default layer "0"): characters a
// drawing layer may not contain become '_', and names equal but for ASCII case get a suffix.
std::vector<std::string> dxfLayerNames(const ModelSnapshot& model);
// A UTF-8 text as the file stores it: Windows-1250 bytes (the header names that code page), other
// characters as \U+XXXX, control characters dropped.
std::string dxfString(const std::string& utf8);

}  // namespace exporter
