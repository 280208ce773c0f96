// How a block is raised from the surface model over a footprint.
#pragma once

namespace buildings {

struct SurfaceBuildingSettings {
    double sampleStep = 0.5;       // metres
    double raisedThreshold = 1.0;  // nDSM above this counts as raised
    double minRaisedShare = 0.35;  // below it the block is doubtful
    double minWallHeight = 1.0;
};

}  // namespace buildings
