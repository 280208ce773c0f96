// The layer of each data type: found by name or created, remembered for one placement.
#pragma once
#include <cstdint>
#include <map>

#include "formats/DataType.h"
#include "settings/Settings.h"

namespace importer {

// Layer lookup for one placement call; the cache never outlives the call's host state.
class LayerMapping {
public:
    explicit LayerMapping(const settings::Settings& settings) : settings_(settings) {}

    // The wanted layer name of a type: the user's name, else the default one; empty when the type
    // has neither (a code outside the table).
    std::string layerNameFor(formats::DataType type) const;
    // Host index of the type's layer (found by exact name or created); 0 when it can be neither.
    std::int32_t layerFor(formats::DataType type);
    // Host index of a layer of that exact name (found or created); 0 when it can be neither.
    std::int32_t layerNamed(const std::string& name);

private:
    const settings::Settings& settings_;
    std::map<formats::DataType, std::int32_t> byType_;
    std::map<std::string, std::int32_t> byName_;
};

}  // namespace importer
