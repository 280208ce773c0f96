// Elevation labels along index contours.
#pragma once
#include <string>
#include <vector>

#include "terrain/ContourLine.h"

namespace terrain {

// A label: position, angle in radians within (-pi/2, pi/2] so the text stays upright, and the text.
struct ContourLabel {
    double x = 0.0;
    double y = 0.0;
    double angle = 0.0;
    std::string text;
};

// Labels of an index contour: one at mid-length below 50 m, else at 25, 75, 125 ... m.
// Other contours, and lines without length, get none.
std::vector<ContourLabel> labelsForContour(const ContourLine& contour);

// The level as a label shows it: two decimals with a decimal comma.
std::string contourLevelText(double z);

// An angle brought into (-pi/2, pi/2] by adding or subtracting half turns.
double uprightAngle(double angle);

}  // namespace terrain
