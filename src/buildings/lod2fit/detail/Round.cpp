#include "buildings/lod2fit/detail/Round.h"

#include <algorithm>

#include "buildings/lod2fit/detail/Prism.h"

namespace lod2fit::detail {

Round roundOf(const RoofParams& p, const Footprint& f) {
    const geodesy::Bbox box = boundsOf(f);
    return {box.centre().x, box.centre().y, std::min(box.width(), box.height()) / 2, std::max(3, p.segments)};
}

}  // namespace lod2fit::detail
