#include "exporter/ModelSnapshot.h"

#include <cmath>

namespace exporter {

namespace {

const std::int32_t kExportedTypes[] = {host::kElemPicture, host::kElemFill, host::kElemPolyline, host::kElemText,
                                       host::kElemMesh,    host::kElemSlab, host::kElemMorph};

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

}  // namespace

host::HostError snapshotModel(host::Host& h, ModelSnapshot& out) {
    ModelSnapshot s;
    if (host::HostError e = h.listAttributes(host::kAttrLayer, s.layers)) return e;
    if (host::HostError e = h.listAttributes(host::kAttrFill, s.fills)) return e;
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
    ModelSnapshot s;
    if (auto it = state.attributes.find(host::kAttrLayer); it != state.attributes.end()) s.layers = it->second;
    if (auto it = state.attributes.find(host::kAttrFill); it != state.attributes.end()) s.fills = it->second;
    for (std::int32_t type : kExportedTypes)
        for (const auto& el : state.elements)
            if (el.header.type == type) s.elements.push_back(el);
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

}  // namespace exporter
