#include "buildings/CorridorSettings.h"

namespace buildings {

CorridorSettings CorridorSettings::bridge() {
    CorridorSettings s;
    s.minRaisedShare = 0.35;
    s.onSurface = true;
    return s;
}

CorridorSettings CorridorSettings::road(const geodesy::Bbox& frame) {
    CorridorSettings s;
    s.clip = true;
    s.frame = frame;
    return s;
}

}  // namespace buildings
