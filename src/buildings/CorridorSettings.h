// How a bridge or road corridor is laid on the elevation models.
#pragma once
#include "geodesy/Bbox.h"

namespace buildings {

struct CorridorSettings {
    double cell = 0.5;             // metres
    double raisedThreshold = 1.0;  // nDSM above this at a cell centre counts as raised
    double minRaisedShare = 0.0;   // bridges 0.35, roads 0
    bool onSurface = false;        // heights from the surface model (bridges), else the terrain model (roads)
    bool clip = false;             // keep to the frame (roads)
    geodesy::Bbox frame;

    static CorridorSettings bridge();
    static CorridorSettings road(const geodesy::Bbox& frame);
};

}  // namespace buildings
