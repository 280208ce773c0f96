#include "import/LayerMapping.h"

#include <algorithm>
#include <vector>

#include "host/Host.h"
#include "settings/DataTypes.h"

namespace importer {

std::string LayerMapping::layerNameFor(formats::DataType type) const {
    const auto it = settings_.layers.find(type);
    if (it != settings_.layers.end() && !it->second.empty()) return it->second;
    return settings::defaultLayerName(type);
}

std::int32_t LayerMapping::layerFor(formats::DataType type) {
    if (const auto it = byType_.find(type); it != byType_.end()) return it->second;
    const std::string name = layerNameFor(type);
    const std::int32_t index = name.empty() ? 0 : layerNamed(name);
    byType_[type] = index;
    return index;
}

namespace {

// The name as the host can hold it: 255 bytes and a terminator, cut at a character boundary. A
// longer name could never be found again, and every later placement would try to create it anew.
std::string storableName(const std::string& name) {
    std::size_t length = std::min<std::size_t>(name.size(), 255);
    if (length < name.size())
        while (length > 0 && (static_cast<unsigned char>(name[length]) & 0xC0) == 0x80) --length;
    return name.substr(0, length);
}

}  // namespace

std::int32_t LayerMapping::layerNamed(const std::string& wanted) {
    const std::string name = storableName(wanted);
    if (const auto it = byName_.find(name); it != byName_.end()) return it->second;
    std::int32_t index = 0;
    std::vector<host::Attribute> layers;
    if (host::host().listAttributes(host::kAttrLayer, layers) == host::kHostOk) {
        for (const host::Attribute& a : layers) {
            if (a.name == name) {
                index = a.index;
                break;
            }
        }
    }
    if (index == 0) {
        host::Attribute created;
        created.kind = host::kAttrLayer;
        created.name = name;
        if (host::host().createAttribute(created) == host::kHostOk) index = created.index;
    }
    // A failure is not remembered: a later step may ask again (the host may have recovered).
    if (index != 0) byName_[name] = index;
    return index;
}

}  // namespace importer
