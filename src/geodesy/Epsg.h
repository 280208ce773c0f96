// EPSG codes of the Polish grids.
#pragma once

namespace geodesy {

constexpr int kEpsgPl1992 = 2180;
// PL-2000 zones 5..8 (central meridians 15, 18, 21 and 24 degrees east).
constexpr int kEpsgPl2000Zone5 = 2176;
constexpr int kEpsgPl2000Zone6 = 2177;
constexpr int kEpsgPl2000Zone7 = 2178;
constexpr int kEpsgPl2000Zone8 = 2179;

// True for the code of a PL-2000 zone.
constexpr bool isPl2000Epsg(int epsg) { return epsg >= kEpsgPl2000Zone5 && epsg <= kEpsgPl2000Zone8; }

}  // namespace geodesy
