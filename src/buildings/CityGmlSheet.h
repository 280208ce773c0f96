// Reading the CityGML sheets of a county package: LOD1 blocks, LOD2 surfaces and a sheet's extent.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "buildings/BuildingTypes.h"
#include "geodesy/Bbox.h"

namespace buildings {

// What a sheet held besides the records it gave.
struct SheetFindings {
    bool readable = true;  // false when the text is not readable XML
    int buildings = 0;     // buildings with a record in the frame (a LOD1 building of several parts counts once)
    int damaged = 0;       // buildings in the frame refused: a ring that is no list of numbers, or off every grid
};

// LOD1 blocks of a sheet touching the frame: one per building, or one per part of a building made of parts, each
// from one level of detail (LOD1 first), its height from its own geometry, else from "measuredHeight".
std::vector<Building3D> parseLod1Sheet(std::string text, const geodesy::Bbox& frame, SheetFindings* found = nullptr);
// LOD2 buildings of a sheet touching the frame, each with its parts and one level of detail per part (LOD2 first);
// interior rings are the holes of their surface.
std::vector<BuildingLod2> parseLod2Sheet(std::string text, const geodesy::Bbox& frame, SheetFindings* found = nullptr);
// The extent of a whole sheet: its CityModel's own envelope grown to every coordinate outside envelopes, or the
// coordinates' extent alone when it declares none; false when it has neither.
bool sheetExtent(std::string_view text, geodesy::Bbox& extent);

}  // namespace buildings
