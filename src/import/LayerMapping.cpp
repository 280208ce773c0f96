#include "import/LayerMapping.h"

#include <vector>

#include "host/Host.h"
#include "settings/DataTypes.h"

std::string LayerMapping::layerNameFor(DataType type) const {
    const auto it = settings_.layers.find(type);
    if (it != settings_.layers.end() && !it->second.empty()) return it->second;
    return defaultLayerName(type);
}

std::int32_t LayerMapping::layerFor(DataType type) {
    if (const auto it = byType_.find(type); it != byType_.end()) return it->second;
    const std::string name = layerNameFor(type);
    const std::int32_t index = name.empty() ? 0 : layerNamed(name);
    byType_[type] = index;
    return index;
}

std::int32_t LayerMapping::layerNamed(const std::string& name) {
    if (const auto it = byName_.find(name); it != byName_.end()) return it->second;
    std::int32_t index = 0;
    std::vector<Attribute> layers;
    if (host().listAttributes(kAttrLayer, layers) == kHostOk) {
        for (const Attribute& a : layers) {
            if (a.name == name) {
                index = a.index;
                break;
            }
        }
    }
    if (index == 0) {
        Attribute created;
        created.kind = kAttrLayer;
        // The host's name field holds 255 bytes and a terminator.
        created.name = name.substr(0, 255);
        if (host().createAttribute(created) == kHostOk) index = created.index;
    }
    // A failure is not remembered: a later step may ask again (the host may have recovered).
    if (index != 0) byName_[name] = index;
    return index;
}
