#include "exporter/ModelSnapshot.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace exporter {

namespace {

const std::int32_t kExportedTypes[] = {host::kElemPicture, host::kElemFill, host::kElemPolyline, host::kElemText,
                                       host::kElemMesh,    host::kElemSlab, host::kElemMorph};

// Position of a type in kExportedTypes, or past its end.
std::size_t kindRank(std::int32_t type) {
    return static_cast<std::size_t>(std::find(std::begin(kExportedTypes), std::end(kExportedTypes), type) -
                                    std::begin(kExportedTypes));
}

host::HostError readBody(host::Host& h, const host::ElementHeader& header, model::ElementBody& body) {
    auto read = [&](auto element, auto getter) {
        host::HostError e = (h.*getter)(header.id, element);
        if (e == host::kHostOk) body = std::move(element);
        return e;
    };
    switch (header.type) {
        case host::kElemPolyline: return read(host::PolylineElement{}, &host::Host::getPolyline);
        case host::kElemText: return read(host::TextElement{}, &host::Host::getText);
        case host::kElemFill: return read(host::FillElement{}, &host::Host::getFill);
        case host::kElemMesh: return read(host::MeshElement{}, &host::Host::getMesh);
        case host::kElemSlab: return read(host::SlabElement{}, &host::Host::getSlab);
        case host::kElemMorph: return read(host::MorphElement{}, &host::Host::getMorph);
        case host::kElemPicture: return read(host::PictureElement{}, &host::Host::getPicture);
        default: return host::kHostBadElementType;
    }
}

ModelSnapshot attributesOf(const model::ModelState& state) {
    ModelSnapshot s;
    auto kind = [&](std::int32_t k) {
        const auto it = state.attributes.find(k);
        return it == state.attributes.end() ? std::vector<host::Attribute>{} : it->second;
    };
    s.layers = kind(host::kAttrLayer);
    s.fills = kind(host::kAttrFill);
    s.materials = kind(host::kAttrMaterial);
    s.buildingMaterials = kind(host::kAttrBuildingMaterial);
    return s;
}

}  // namespace

host::HostError snapshotModel(host::Host& h, ModelSnapshot& out) {
    ModelSnapshot s;
    if (host::HostError e = h.listAttributes(host::kAttrLayer, s.layers)) return e;
    if (host::HostError e = h.listAttributes(host::kAttrFill, s.fills)) return e;
    // Materials only colour the IFC; a host that cannot list them still exports, coloured by layer.
    if (h.listAttributes(host::kAttrMaterial, s.materials) != host::kHostOk) s.materials.clear();
    if (h.listAttributes(host::kAttrBuildingMaterial, s.buildingMaterials) != host::kHostOk)
        s.buildingMaterials.clear();
    for (std::int32_t type : kExportedTypes) {
        std::vector<host::ElementId> ids;
        if (host::HostError e = h.listElements(type, 0, ids)) return e;
        for (const auto& id : ids) {
            model::StoredElement el;
            if (host::HostError e = h.getElementHeader(id, el.header)) return e;
            if (host::HostError e = readBody(h, el.header, el.body)) return e;
            s.elements.push_back(std::move(el));
        }
    }
    if (host::HostError e = h.readGeoLocation(s.geoLocation)) return e;
    out = std::move(s);
    return host::kHostOk;
}

ModelSnapshot snapshotOf(const model::ModelState& state) {
    ModelSnapshot s = attributesOf(state);
    for (std::int32_t type : kExportedTypes)
        for (const auto& el : state.elements)
            if (el.header.type == type) s.elements.push_back(el);
    s.geoLocation = state.geoLocation;
    return s;
}

ModelSnapshot snapshotOf(model::ModelState&& state) {
    ModelSnapshot s = attributesOf(state);
    // Stable by kind, as the copy orders them, without a second copy of the elements.
    std::stable_sort(state.elements.begin(), state.elements.end(),
                     [](const auto& a, const auto& b) { return kindRank(a.header.type) < kindRank(b.header.type); });
    s.elements = std::move(state.elements);
    s.elements.erase(std::find_if(s.elements.begin(), s.elements.end(),
                                  [](const auto& el) { return kindRank(el.header.type) >= std::size(kExportedTypes); }),
                     s.elements.end());
    s.geoLocation = state.geoLocation;
    return s;
}

std::string exportLayerName(const ModelSnapshot& model, std::int32_t layer) {
    if (layer >= 1 && static_cast<std::size_t>(layer) <= model.layers.size())
        return model.layers[static_cast<std::size_t>(layer - 1)].name;
    return "0";
}

host::HostColour layerColour(const std::string& layerName) {
    std::uint32_t hash = 2166136261u;  // FNV-1a: stable across runs and machines
    for (unsigned char c : layerName) hash = (hash ^ c) * 16777619u;
    const double hue = static_cast<double>(hash % 360u) / 60.0;
    const double saturation = 0.55 + static_cast<double>((hash >> 9) % 30u) / 100.0;
    const double value = 0.55 + static_cast<double>((hash >> 17) % 30u) / 100.0;
    const double c = value * saturation;
    const double x = c * (1.0 - std::abs(std::fmod(hue, 2.0) - 1.0));
    const double m = value - c;
    double r = 0, g = 0, b = 0;
    switch (static_cast<int>(hue)) {
        case 0: r = c, g = x; break;
        case 1: r = x, g = c; break;
        case 2: g = c, b = x; break;
        case 3: g = x, b = c; break;
        case 4: r = x, b = c; break;
        default: r = c, b = x; break;
    }
    return {r + m, g + m, b + m};
}

const host::Attribute* elementMaterial(const ModelSnapshot& model, const model::StoredElement& element) {
    auto find = [](const std::vector<host::Attribute>& list, std::int32_t index) -> const host::Attribute* {
        return index >= 1 && static_cast<std::size_t>(index) <= list.size() ? &list[static_cast<std::size_t>(index - 1)]
                                                                            : nullptr;
    };
    if (const auto* morph = std::get_if<host::MorphElement>(&element.body)) {
        for (const auto& polygon : morph->polygons)
            if (polygon.hasMaterial) return find(model.materials, polygon.material);
    } else if (const auto* slab = std::get_if<host::SlabElement>(&element.body)) {
        if (const auto* top = find(model.materials, slab->topMaterial)) return top;
        return find(model.buildingMaterials, slab->buildingMaterial);
    } else if (const auto* mesh = std::get_if<host::MeshElement>(&element.body)) {
        return find(model.materials, mesh->material);
    }
    return nullptr;
}

}  // namespace exporter
