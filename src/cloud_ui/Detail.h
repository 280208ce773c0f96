// The three quality levels of a point-cloud export and the thinning spacing of each.
#pragma once
#include <string_view>

namespace cloudui {

enum class Detail { Lekki = 0, Standard = 1, Full = 2 };

// "lekki" and "full" exactly (case-sensitive); any other text, or none, is the standard level.
Detail detailFromText(std::string_view text);
// Voxel edge in metres: 0.5 light, 0.2 standard, 0 (every point kept) full.
double thinningSpacing(Detail detail);

}  // namespace cloudui
