#include "terrain/ContourBuild.h"

#include <cmath>

#include "settings/NumberText.h"
#include "terrain/HeightSource.h"

namespace terrain {

namespace {

bool anyHeight(const ContourGrid& grid) {
    for (double h : grid.heights) {
        if (!std::isnan(h)) return true;
    }
    return false;
}

}  // namespace

std::string contourIntervalNote(double interval) {
    if (settings::allowedContourInterval(interval)) return {};
    return "Poziomice: ciecie " + settings::formatNumber(interval) +
           " m nie jest dozwolona wartoscia (dozwolone: 0,25 / 0,5 / 1,0 / 2,0 m) - poziomice pominiete.";
}

ContourBuildResult buildContours(const ContourRequest& request, const std::vector<grid::ElevationGrid>& grids,
                                 const CancelQuery& cancel, const platform::ProgressCallback& progress) {
    ContourBuildResult out;
    if (std::string refused = contourIntervalNote(request.interval); !refused.empty()) {
        out.notes.push_back(std::move(refused));
        return out;
    }
    if (grids.empty()) {
        out.notes.push_back("Poziomice: nie udalo sie pobrac zadnego pliku NMT.");
        return out;
    }
    const double interval = snapContourInterval(request.interval);
    const double baseStep = request.terrainStep <= 0 ? 1.0 : request.terrainStep;
    std::string stepNote;
    out.step = contourStep(request.frame, request.terrainStep, stepNote);
    if (!stepNote.empty()) out.notes.push_back(stepNote);
    const bool enlarged = out.step > baseStep;

    ContourGrid grid = buildContourGrid(request.frame, out.step, mosaicHeightSource(grids));
    if (request.smooth) smoothContourGrid(grid, kGridSmoothSpatialSigma, kGridSmoothHeightSigma);

    std::string traceNote;
    out.lines =
        traceContours(grid, interval, traceNote, kMaxContours, kMaxContourPoints, cancel, out.cancelled, progress);
    if (!traceNote.empty()) out.notes.push_back(traceNote);
    if (out.cancelled) return out;

    if (out.lines.empty()) {
        if (anyHeight(grid))
            out.notes.push_back("Poziomice: brak deniwelacji wiekszej niz ciecie " + settings::formatNumber(interval) +
                                " m w tym kadrze - teren zbyt plaski dla wybranego ciecia.");
        else out.notes.push_back("Poziomice: caly probkowany obszar to NODATA (brak danych NMT dla tego kadru).");
    }
    if (out.step * 0.2 > interval) {
        out.notes.push_back(
            "Poziomice: ciecie " + settings::formatNumber(interval) + " m jest drobne wzgledem kroku probkowania " +
            settings::formatNumber(out.step) + " m - warstwice beda kanciaste. " +
            (enlarged ? "Krok zostal zgrubiony przez limit gestosci dla tego kadru - zmniejsz kadr albo "
                        "wybierz wieksze ciecie."
                      : "Zmniejsz krok terenu."));
    }
    out.summary = "Poziomice: " + std::to_string(out.lines.size()) + " warstwic, ciecie " +
                  settings::formatNumber(interval) + " m" + (request.smooth ? ", wygladzone" : "");
    return out;
}

}  // namespace terrain
