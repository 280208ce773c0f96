// The three quality levels of a point-cloud export and the thinning spacing of each.
#pragma once
#include <string_view>

namespace cloudui {

enum class Detail { Lekki = 0, Standard = 1, Full = 2 };

// "lekki" and "full" exactly (case-sensitive); any other text, or none, is the standard level.
Detail detailFromText(std::string_view text);
// Voxel edge in metres: 0.5 light, 0.2 standard, 0 (every point kept) full.
double thinningSpacing(Detail detail);
// Expected point count of a frame of `area` square metres at `density` points per square metre: the nearest
// integer to area x density, capped by the voxels thinning can fill (area / spacing squared; no cap for full).
// Nonsense input (negative, not a number) gives 0; the result never overflows.
long long estimatePoints(double area, double density, Detail detail);

}  // namespace cloudui
