// Layer and type names read from WMS/WFS capabilities documents (scanned as text, not parsed as XML).
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "formats/DataType.h"

namespace net {

// Text of every <Name> element (not self-closing) up to the next "</Name"; empty ones and ones spanning
// lines are skipped; repeats are kept.
std::vector<std::string> extractCapabilityNames(std::string_view capabilities);
// extractCapabilityNames without "WMS", "WFS", "default", names with a space, and repeats; document order.
std::vector<std::string> filterLayerNames(std::string_view capabilities);
// Layers worth drawing for a data type: GESUT (4) and BDOT500 (5) by theme keywords, all others unfiltered.
std::vector<std::string> selectThematicLayers(std::string_view capabilities, formats::DataType type);
// Names holding "przewod" (utility pipes and cables), without repeats, in document order.
std::vector<std::string> selectPipeLayers(std::string_view capabilities);
// ASCII lower case; the Polish capital L with stroke (UTF-8) is lowered too, as names like "DZIAŁKI" occur.
std::string lowerName(std::string_view name);

}  // namespace net
