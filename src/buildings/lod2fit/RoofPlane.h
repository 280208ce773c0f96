// A roof plane a·x + b·y + c·z + d = 0 with (a, b, c) a unit normal pointing up (c > 0).
#pragma once

namespace lod2fit {

struct RoofPlane {
    double a = 0.0;
    double b = 0.0;
    double c = 1.0;
    double d = 0.0;

    double distance(double x, double y, double z) const { return a * x + b * y + c * z + d; }
};

}  // namespace lod2fit
