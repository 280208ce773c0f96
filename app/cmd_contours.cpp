// geodraft contours: contour lines and labels from the user's own ASCII grids, as GeoJSON.
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "Commands.h"
#include "formats/grid/AsciiGrid.h"
#include "platform/Numbers.h"
#include "platform/Paths.h"
#include "terrain/Terrain.h"

using grid::AsciiGridStatus, grid::ElevationGrid, grid::readAsciiGridFile;
using platform::parseDouble, platform::parseInt;

namespace {

const char* const kUsage =
    "uzycie: geodraft contours --frame MINX,MINY,MAXX,MAXY --step S --interval I [--smooth] --out PLIK.geojson "
    "SIATKA.asc...";

struct ContoursArgs {
    terrain::ContourRequest request;
    std::string out;
    std::vector<std::string> grids;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "geodraft contours: %s\n", message.c_str());
    return 2;
}

bool parseFrame(std::string_view text, geodesy::Bbox& frame) {
    double v[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',');
        if ((i < 3) != (comma != std::string_view::npos)) return false;
        if (!parseDouble(text.substr(0, comma), v[i]) || !std::isfinite(v[i])) return false;
        if (i < 3) text.remove_prefix(comma + 1);
    }
    frame = {v[0], v[1], v[2], v[3]};
    return true;
}

// Reads the arguments; on a mistake returns false with a Polish message.
bool parseArgs(int argc, char** argv, ContoursArgs& args, std::string& error) {
    bool haveFrame = false, haveStep = false, haveInterval = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&](std::string_view& v) {
            if (i + 1 >= argc) {
                error = "brak wartosci po " + std::string(a);
                return false;
            }
            v = argv[++i];
            return true;
        };
        std::string_view v;
        if (a == "--frame") {
            if (!value(v)) return false;
            if (!parseFrame(v, args.request.frame)) {
                error = "nieprawidlowa ramka '" + std::string(v) + "' (oczekiwano MINX,MINY,MAXX,MAXY w metrach)";
                return false;
            }
            haveFrame = true;
        } else if (a == "--step") {
            if (!value(v)) return false;
            long long step = 0;
            if (!parseInt(v, step) || step < 1 || step > 100000) {
                error = "nieprawidlowy krok '" + std::string(v) + "' (liczba calkowita metrow od 1 do 100000)";
                return false;
            }
            args.request.terrainStep = static_cast<int>(step);
            haveStep = true;
        } else if (a == "--interval") {
            if (!value(v)) return false;
            if (!parseDouble(v, args.request.interval)) {
                error = "nieprawidlowe ciecie '" + std::string(v) + "' (liczba metrow, np. 0.5)";
                return false;
            }
            haveInterval = true;
        } else if (a == "--smooth") {
            args.request.smooth = true;
        } else if (a == "--out") {
            if (!value(v)) return false;
            args.out = v;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            error = "nieznana opcja " + std::string(a);
            return false;
        } else {
            args.grids.emplace_back(a);
        }
    }
    if (!haveFrame) error = "brak ramki --frame";
    else if (!haveStep) error = "brak kroku --step";
    else if (!haveInterval) error = "brak ciecia --interval";
    else if (args.out.empty()) error = "brak pliku wynikowego --out";
    else if (args.grids.empty()) error = "brak plikow siatki ASC";
    if (!error.empty()) return false;
    const geodesy::Bbox& f = args.request.frame;
    if (!(f.minE < f.maxE && f.minN < f.maxN)) {
        error = "ramka pusta lub odwrocona (MINX < MAXX i MINY < MAXY)";
        return false;
    }
    if (std::string note = terrain::contourIntervalNote(args.request.interval); !note.empty()) {
        error = note;
        return false;
    }
    return true;
}

nlohmann::json lineFeature(const terrain::ContourLine& line) {
    nlohmann::json coords = nlohmann::json::array();
    for (const auto& p : line.points) coords.push_back({p.x, p.y});
    return {{"type", "Feature"},
            {"geometry", {{"type", "LineString"}, {"coordinates", std::move(coords)}}},
            {"properties", {{"z", line.z}, {"index", line.index}}}};
}

nlohmann::json labelFeature(const terrain::ContourLine& line, const terrain::ContourLabel& label) {
    return {{"type", "Feature"},
            {"geometry", {{"type", "Point"}, {"coordinates", {label.x, label.y}}}},
            {"properties", {{"z", line.z}, {"label", label.text}, {"angle", label.angle}}}};
}

}  // namespace

int cmdContours(int argc, char** argv) {
    ContoursArgs args;
    std::string error;
    if (!parseArgs(argc, argv, args, error)) {
        fail(error);
        std::fprintf(stderr, "%s\n", kUsage);
        return 2;
    }

    std::vector<ElevationGrid> grids;
    grids.reserve(args.grids.size());
    for (const auto& path : args.grids) {
        ElevationGrid grid;
        AsciiGridStatus status = readAsciiGridFile(grid, path);
        if (!status) return fail("plik " + path + ": " + status.message);
        grids.push_back(std::move(grid));
    }

    int lastPercent = -10;
    auto progress = [&lastPercent](int level, int levels) {
        const int percent = levels > 0 ? level * 100 / levels : 100;
        if (percent / 10 != lastPercent / 10) {
            std::fprintf(stderr, "Poziomice: poziom %d z %d\n", level + 1, levels);
            lastPercent = percent;
        }
        return true;
    };
    terrain::ContourBuildResult result = terrain::buildContours(args.request, grids, {}, progress);

    // What is written is what would be drawn: with smoothing on, the lines are smoothed as at placement.
    std::vector<terrain::ContourLine> lines = result.lines;
    if (args.request.smooth)
        terrain::smoothContours(lines, terrain::kContourSmoothPasses, terrain::kContourSimplifyTolerance);

    nlohmann::json features = nlohmann::json::array();
    std::size_t labelCount = 0;
    for (const auto& line : lines) features.push_back(lineFeature(line));
    for (const auto& line : lines) {
        for (const auto& label : terrain::labelsForContour(line)) {
            features.push_back(labelFeature(line, label));
            ++labelCount;
        }
    }
    nlohmann::json notes = nlohmann::json::array();
    for (const auto& n : result.notes) notes.push_back(n);
    nlohmann::json doc = {
        {"type", "FeatureCollection"}, {"features", std::move(features)}, {"notes", std::move(notes)}};

    if (!platform::writeFileAtomically(args.out, doc.dump())) return fail("nie mozna zapisac pliku " + args.out);

    for (const auto& n : result.notes) std::printf("%s\n", n.c_str());
    if (!result.summary.empty()) std::printf("%s\n", result.summary.c_str());
    std::printf("Zapisano %zu warstwic i %zu podpisow do %s\n", lines.size(), labelCount, args.out.c_str());
    return 0;
}
