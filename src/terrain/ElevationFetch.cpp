#include "terrain/ElevationFetch.h"

#include "formats/grid/AsciiGrid.h"

namespace terrain {

namespace {

const char* const kCancelledNote = "Poziomice: przerwano przez uzytkownika.";

// Downloads and parses every sheet in index order; unreadable sheets are skipped.
// False when the cancel query stopped it.
bool readSheets(const std::vector<std::string>& urls, const ElevationSheetSource& source, const std::string& phase,
                const FetchProgress& progress, const CancelQuery& cancel, std::vector<grid::ElevationGrid>& grids) {
    const int count = static_cast<int>(urls.size());
    for (int i = 0; i < count; ++i) {
        if (cancel && cancel()) return false;
        if (progress) progress(phase, i + 1, count);
        std::optional<std::string> text =
            source.download ? source.download(urls[static_cast<std::size_t>(i)]) : std::nullopt;
        if (!text) continue;
        grid::ElevationGrid grid;
        if (grid::parseAsciiGrid(grid, *text)) grids.push_back(std::move(grid));
    }
    return true;
}

}  // namespace

TerrainBuildResult fetchTerrain(const geodesy::Bbox& frame, int step, const ElevationSheetSource& source,
                                const FetchProgress& progress) {
    const std::vector<std::string> urls = source.findSheets ? source.findSheets(frame) : std::vector<std::string>{};
    if (urls.empty()) {
        TerrainBuildResult none;
        none.notes.push_back("Teren: brak kafli NMT dla tego obszaru w skorowidzu.");
        return none;
    }
    std::vector<grid::ElevationGrid> grids;
    readSheets(urls, source, "Pobieranie NMT", progress, {}, grids);
    return buildTerrain(frame, step, grids);
}

ContourBuildResult fetchContours(const ContourRequest& request, const ElevationSheetSource& source,
                                 const CancelQuery& cancel, const FetchProgress& progress) {
    ContourBuildResult out;
    if (std::string refused = contourIntervalNote(request.interval); !refused.empty()) {
        out.notes.push_back(std::move(refused));
        return out;
    }
    const std::vector<std::string> urls =
        source.findSheets ? source.findSheets(request.frame) : std::vector<std::string>{};
    if (urls.empty()) {
        out.notes.push_back("Poziomice: brak kafli NMT dla tego obszaru w skorowidzu.");
        return out;
    }
    std::vector<grid::ElevationGrid> grids;
    if (!readSheets(urls, source, "Poziomice: NMT", progress, cancel, grids)) {
        out.cancelled = true;
        out.notes.push_back(kCancelledNote);
        return out;
    }
    // From here on the trace reports its levels.
    platform::ProgressCallback levels;
    if (progress)
        levels = [&progress](int level, int count) {
            progress("Poziomice", level + 1, count);
            return true;
        };
    return buildContours(request, grids, cancel, levels);
}

}  // namespace terrain
