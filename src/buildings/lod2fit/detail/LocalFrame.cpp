#include "buildings/lod2fit/detail/LocalFrame.h"

#include <cmath>

namespace lod2fit::detail {

LocalFrame::LocalFrame(const RoofParams& p) {
    const double len = std::hypot(p.dirX, p.dirY);
    if (len > 1e-12) {
        ux = p.dirX / len;
        uy = p.dirY / len;
    }
}

}  // namespace lod2fit::detail
