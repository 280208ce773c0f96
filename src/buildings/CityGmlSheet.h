// Reading the CityGML sheets of a county package: LOD1 blocks, LOD2 surfaces and a sheet's extent.
#pragma once
#include <string_view>
#include <vector>

#include "buildings/BuildingTypes.h"
#include "geodesy/Bbox.h"

namespace buildings {

// LOD1 buildings of a sheet whose footprint touches the frame; none when the text is not readable XML.
std::vector<Building3D> parseLod1Sheet(std::string_view text, const geodesy::Bbox& frame);
// LOD2 buildings of a sheet whose surfaces touch the frame; none when the text is not readable XML.
std::vector<BuildingLod2> parseLod2Sheet(std::string_view text, const geodesy::Bbox& frame);
// The extent of the sheet's first Envelope (lowerCorner, upperCorner); false when there is none. A cut-off
// text is read as far as it goes.
bool sheetExtent(std::string_view text, geodesy::Bbox& extent);

}  // namespace buildings
