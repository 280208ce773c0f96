#include "HostileShapes.h"

namespace sim {

std::vector<geodesy::PlanarPoint> combOutline(int teeth, double width, geodesy::PlanarPoint origin) {
    std::vector<geodesy::PlanarPoint> ring;
    auto add = [&](double x, double y) { ring.push_back({origin.x + x * width, origin.y + y * width}); };
    add(-1, -5);
    add(teeth * 2.0, -5);
    add(teeth * 2.0, 0);
    for (int k = teeth - 1; k >= 0; --k) {
        add(k * 2.0 + 1, 0);
        add(k * 2.0 + 1, 10);
        add(k * 2.0, 10);
        add(k * 2.0, 0);
    }
    add(-1, 0);
    return ring;
}

}  // namespace sim
