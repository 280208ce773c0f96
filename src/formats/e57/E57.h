// The E57 library's public interface.
#pragma once

#include "formats/e57/E57Writer.h"  // E57Writer (block by block), writeE57: a coloured point cloud as an ASTM E57 file
