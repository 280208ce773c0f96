// What the exporters draw, read once from a host or a model's state.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "host/Host.h"
#include "model/ModelState.h"

namespace exporter {

// Layers, fills, every element of every story and the georeference.
struct ModelSnapshot {
    std::vector<host::Attribute> layers;     // by index - 1
    std::vector<host::Attribute> fills;      // by index - 1
    std::vector<host::Attribute> materials;  // surface materials, by index - 1
    std::vector<host::Attribute> buildingMaterials;
    std::vector<model::StoredElement> elements;  // by kind, then creation order
    host::GeoLocation geoLocation;
};

// Reads everything the exporters need through the host; kHostOk or the first failing call's code.
host::HostError snapshotModel(host::Host& h, ModelSnapshot& out);
// The same from a model's state, as a project file holds it: a copy, or the state's own elements taken over.
ModelSnapshot snapshotOf(const model::ModelState& state);
ModelSnapshot snapshotOf(model::ModelState&& state);

// The layer's name, or "0" (the DXF default layer) for an index the project does not have.
std::string exportLayerName(const ModelSnapshot& model, std::int32_t layer);
// A colour that depends only on the layer name, the same in every export.
host::HostColour layerColour(const std::string& layerName);
// The surface material an element is drawn with (a morph's first polygon's own, a slab's top or its building
// material's, a mesh's), or null when it has none the snapshot knows.
const host::Attribute* elementMaterial(const ModelSnapshot& model, const model::StoredElement& element);

}  // namespace exporter
