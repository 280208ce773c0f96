// Export of a project's drawing: AutoCAD DXF, GeoJSON in the project's PL-2000 zone and an SVG plan.
#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "host/Host.h"
#include "model/ModelState.h"

// What the exporters draw, read from a host: layers, fills, every element of every story, georeference.
struct ModelSnapshot {
    std::vector<Attribute> layers;        // by index - 1
    std::vector<Attribute> fills;         // by index - 1
    std::vector<StoredElement> elements;  // by kind, then creation order
    GeoLocation geoLocation;
};

// A picture written beside the DXF: its element's position in the snapshot and the file name.
struct ExportedPicture {
    std::size_t element = 0;
    std::string relativePath;     // e.g. "images/obraz_1.png"
    std::int32_t pixelWidth = 0;  // 0 when the image header could not be read
    std::int32_t pixelHeight = 0;
};

// Outcome of an export; error is a Polish text saying what failed.
struct ExportResult {
    bool ok = false;
    std::string error;
    std::map<std::string, std::size_t> dxfEntitiesByLayer;  // vector entities (no IMAGE) per layer name
    std::size_t dxfImages = 0;
    std::size_t geoJsonFeatures = 0;
    std::size_t picturesSkipped = 0;  // picture data neither PNG nor JPEG
    bool georeferenced = false;       // a survey point or a known CRS places the GeoJSON in a zone
};

// Reads everything the exporters need through the host; kHostOk or the first failing call's code.
HostError snapshotModel(Host& h, ModelSnapshot& out);
// The same from a model's state, as a project file holds it.
ModelSnapshot snapshotOf(const ModelState& state);
// Writes dir/model.dxf, dir/images/*, dir/model.geojson and dir/plan.svg (each file atomically).
ExportResult exportModel(const ModelSnapshot& model, const std::filesystem::path& dir);

// ---- Helpers the writers share ----

// The layer's name, or "0" (the DXF default layer) for an index the project does not have.
std::string exportLayerName(const ModelSnapshot& model, std::int32_t layer);
// A colour that depends only on the layer name, the same in every export.
HostColour layerColour(const std::string& layerName);
// The points of a polyline with its arcs replaced by short chords (for formats without arcs).
std::vector<HostPoint2> tessellatePolyline(const PolylineElement& polyline);
// The arc angle of the segment from point i to i + 1 (negated when the arc is stored backwards), 0 if straight.
double segmentArcAngle(const PolylineElement& polyline, std::size_t i);
// Triangles (index triples into the points) covering a planar ring with holes; rings need not be closed.
std::vector<std::size_t> triangulateRings(const std::vector<std::vector<HostPoint2>>& rings,
                                          std::vector<HostPoint2>& points);
// Triangles of the outer faces of 3D kinds, in project coordinates (metres).
struct Face3 {
    std::int32_t layer = 0;
    HostPoint3 a, b, c;
};
std::vector<Face3> facesOf(const StoredElement& element);
// Pixel size read from a PNG or JPEG header; false for anything else.
bool imagePixelSize(const std::vector<std::uint8_t>& bytes, std::int32_t& width, std::int32_t& height);
// File extension for the picture's bytes ("png", "jpg"), empty when they are neither.
std::string imageExtension(const std::vector<std::uint8_t>& bytes);
