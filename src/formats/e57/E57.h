// The E57 library's public interface.
#pragma once

#include "formats/e57/E57Writer.h"  // writeE57: one coloured point cloud as an ASTM E57 file
