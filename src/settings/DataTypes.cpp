#include "settings/DataTypes.h"

#include <cstdint>

namespace settings {

namespace {

struct TypeRow {
    const char* key;
    const char* defaultLayer;
};

constexpr TypeRow kTypes[] = {
    {"dzialki", "GIS_DZIALKI"},
    {"budynki", "GIS_BUDYNKI"},
    {"mpzp", "GIS_MPZP"},
    {"pog", "GIS_POG"},
    {"gesut", "GIS_GESUT"},
    {"bdot500", "GIS_BDOT500"},
    {"teren", "GIS_TEREN"},
    {"rastry", "GIS_RASTRY"},
    {"budynki3d", "GIS_BUDYNKI_3D"},
    {"poziomice2d", "GIS_POZIOMICE_2D"},
    {"poziomice3d", "GIS_POZIOMICE_3D"},
    {"budynkilod2", "GIS_BUDYNKI_LOD2"},
    {"budynkindsm", "GIS_BUDYNKI_NMPT"},
    {"mosty", "GIS_MOSTY"},
    {"drogi", "GIS_DROGI"},
    {"terenchmura", "GIS_TEREN_CHMURA"},
    {"poziomicechmura2d", "GIS_POZIOMICE_CHMURA_2D"},
    {"poziomicechmura3d", "GIS_POZIOMICE_CHMURA_3D"},
    {"budynkirekon", "GIS_BUDYNKI_LOD2_REKON"},
    {"wodachmura", "GIS_WODA_CHMURA"},
};
constexpr std::int32_t kTypeCount = static_cast<std::int32_t>(sizeof kTypes / sizeof kTypes[0]);

const TypeRow* rowOf(formats::DataType type) {
    const auto code = static_cast<std::int32_t>(type);
    return code >= 0 && code < kTypeCount ? &kTypes[code] : nullptr;
}

}  // namespace

const char* dataTypeKey(formats::DataType type) {
    const TypeRow* row = rowOf(type);
    return row != nullptr ? row->key : "inne";
}

std::string defaultLayerName(formats::DataType type) {
    const TypeRow* row = rowOf(type);
    return row != nullptr ? row->defaultLayer : "";
}

bool dataTypeFromKey(std::string_view key, formats::DataType& out) {
    for (std::int32_t code = 0; code < kTypeCount; ++code) {
        if (key == kTypes[code].key) {
            out = static_cast<formats::DataType>(code);
            return true;
        }
    }
    return false;
}

}  // namespace settings
