// Where the terrain and contour fetches get their elevation sheets from.
#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "geodesy/Bbox.h"

namespace terrain {

// The sheet index and the download, supplied by the fetch (tile index and download cache).
struct ElevationSheetSource {
    // Download addresses of the sheets covering a frame (PL-1992 metres), in index order.
    std::function<std::vector<std::string>(const geodesy::Bbox& frame)> findSheets;
    // The text of one sheet, or nothing when it could not be downloaded.
    std::function<std::optional<std::string>(const std::string& url)> download;
};

// Progress of a fetch phase: its text, the step reached (1-based) and the step count. The phase text
// stays part of the call because one fetch runs through several phases the user sees named.
using FetchProgress = std::function<void(const std::string& phase, int done, int total)>;

}  // namespace terrain
