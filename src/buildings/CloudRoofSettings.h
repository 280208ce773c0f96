// When a flat roof from the cloud is trusted, and where it goes when it is not.
#pragma once

namespace buildings {

struct CloudRoofSettings {
    double minCoverage = 0.6;
    int minPoints = 30;
    double minAboveGround = 3.0;
    double fallbackAboveGround = 3.0;
    double coverageCell = 1.0;
};

}  // namespace buildings
