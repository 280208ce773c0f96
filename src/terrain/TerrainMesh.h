// Host mesh elements from terrain patches.
#pragma once
#include <array>
#include <cstdint>

#include "host/Host.h"
#include "terrain/PlanarMap.h"
#include "terrain/TerrainPatch.h"

namespace terrain {

// The three raw mesh settings every terrain mesh carries.
inline constexpr std::uint8_t kTerrainMeshByteSetting = 0;
inline constexpr std::int32_t kTerrainMeshFlagSetting = 0x30000;
inline constexpr std::int64_t kTerrainMeshWideSetting = 0;

// One mesh over the patch: the corners (working-zone metres, in the order (min x, min y), (max x, min y),
// (max x, max y), (min x, max y)), or the patch's own outline when it has one, make the outline at the heights of
// their nearest patch points, every other patch point becomes a level point; heights are reduced by zOffset. Appends a line to the terrain
// diagnostics. Answers 0 (also for a patch without points, which makes nothing) or the host's error.
host::HostError createTerrainMesh(const TerrainPatch& patch, const PlanarMap& map, double zOffset, std::int32_t layer,
                                  const std::array<host::HostPoint2, 4>& corners);

}  // namespace terrain
