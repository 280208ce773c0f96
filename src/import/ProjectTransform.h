// The mapping from working-zone metres (PL-2000) to project coordinates that placement applies
// to every planar point before it reaches the host.
#pragma once
#include <cmath>

#include "host/Host.h"
#include "terrain/PlanarMap.h"

namespace importer {

// Origin (x0, y0) of the zone, the project's rotation angle a and the project point (ox, oy) that
// the origin lands on: x' = ox + cos a (x - x0) + sin a (y - y0), y' = oy - sin a (x - x0) + cos a (y - y0).
struct ProjectTransform {
    double originX = 0.0;
    double originY = 0.0;
    double angle = 0.0;  // radians
    double offsetX = 0.0;
    double offsetY = 0.0;

    host::HostPoint2 apply(double x, double y) const {
        const double c = std::cos(angle), s = std::sin(angle);
        const double dx = x - originX, dy = y - originY;
        return {offsetX + c * dx + s * dy, offsetY - s * dx + c * dy};
    }
    // The same mapping as the function the terrain makers take.
    terrain::PlanarMap planarMap() const {
        const ProjectTransform t = *this;
        return [t](double x, double y) { return t.apply(x, y); };
    }
};

}  // namespace importer
