// Reading ESRI ASCII grids and sampling heights from one grid or from a mosaic of grids.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string_view>
#include <vector>

#include "formats/grid/AsciiGridStatus.h"
#include "formats/grid/ElevationGrid.h"

namespace grid {

// Parses the whole text (six header pairs, then nrows x ncols values; text after them is ignored).
// On failure the grid's content is unspecified and the caller drops it.
AsciiGridStatus parseAsciiGrid(ElevationGrid& grid, std::string_view text);

// Largest grid file read: real sheets are a few hundred megabytes at most.
inline constexpr std::uintmax_t kMaxGridFileBytes = std::uintmax_t{1} << 30;

// Reads and parses a file; a file that cannot be read (or is no text, or exceeds the limit) fails with a
// status saying so.
AsciiGridStatus readAsciiGridFile(ElevationGrid& grid, const std::filesystem::path& path);

// Bilinear height over cell centres, falling back to the containing cell next to nodata.
// False outside the grid or when no valid height is near.
bool sampleGrid(const ElevationGrid& grid, double x, double y, double& z);

// Asks the grids in list order and answers with the first that has a height.
bool mosaicSample(const std::vector<ElevationGrid>& grids, double x, double y, double& z);

}  // namespace grid
