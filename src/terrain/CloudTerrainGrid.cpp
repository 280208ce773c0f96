#include "terrain/CloudTerrainGrid.h"

#include <algorithm>
#include <cmath>

#include "platform/Numbers.h"
#include "terrain/CloudTerrainBuilder.h"

namespace terrain {

double cloudTerrainStep(const geodesy::Bbox& frame, double requested, std::string& warning) {
    warning.clear();
    const double step = requested > 0.0 ? requested : 1.0;
    const double width = frame.maxE - frame.minE, height = frame.maxN - frame.minN;
    if (!(width / step > kCloudGridNodesPerAxis || height / step > kCloudGridNodesPerAxis)) return step;
    const double coarse = std::max(width, height) / kCloudGridNodesPerAxis;
    warning = "Teren z chmury: kadr duzy dla kroku " + platform::cformat("%g", requested) + " m - krata zgrubiona do " +
              platform::cformat("%.2f", coarse) + " m (limit 800 wezlow/os). Zmniejsz kadr dla drobniejszej kraty.";
    return coarse;
}

CloudTerrainGrid buildCloudTerrainGrid(const std::vector<formats::CloudPoint>& ground, const geodesy::Bbox& frame,
                                       double step, const std::vector<formats::CloudPoint>& waterPoints,
                                       bool withWater) {
    CloudTerrainBuilder builder(frame, step, withWater);
    for (formats::CloudPoint p : ground) {
        p.classification = 2;
        builder.add(p);
    }
    if (withWater) {
        for (formats::CloudPoint p : waterPoints) {
            p.classification = 9;
            builder.add(p);
        }
    }
    return builder.finish();
}

}  // namespace terrain
