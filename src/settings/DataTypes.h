// The table of data types: text key and default target layer of every code.
#pragma once
#include <string>
#include <string_view>

#include "formats/DataType.h"

namespace settings {

// The key of a type ("dzialki" .. "wodachmura"), or "inne" for a code outside 0..19. Static text.
const char* dataTypeKey(formats::DataType type);
// The default layer name ("GIS_..."), or an empty text for a code outside 0..19.
std::string defaultLayerName(formats::DataType type);
// The type whose key is `key`; false for "inne" and any unknown text.
bool dataTypeFromKey(std::string_view key, formats::DataType& out);

}  // namespace settings
