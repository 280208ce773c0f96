// The elevation grid library's public interface.
#pragma once

#include "formats/grid/AsciiGrid.h"        // parseAsciiGrid, readAsciiGridFile, sampleGrid, mosaicSample
#include "formats/grid/AsciiGridStatus.h"  // AsciiGridStatus: ok, or a message and the line it refers to
#include "formats/grid/ElevationGrid.h"    // ElevationGrid: one sheet of heights
