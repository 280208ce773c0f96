#include "import/FetchBuildingModels.h"

#include <filesystem>
#include <system_error>

#include "buildings/BuildingPackage.h"
#include "buildings/CityGmlSheet.h"
#include "buildings/SheetIndex.h"
#include "import/FetchContext.h"
#include "import/FetchGroups.h"
#include "net/ServiceEndpoints.h"
#include "net/UrlText.h"

namespace importer {

namespace {

// The years of LOD1 packages, newest first.
constexpr int kLod1Years[] = {2024, 2022, 2021, 2019};

struct PackageKind {
    const char* prefix;         // of every note
    const char* downloadLabel;  // progress while the package downloads
    const char* modelLabel;     // progress while its sheets are read
};
constexpr PackageKind kLod1{"Modele 3D: ", "Modele 3D: pobieranie ", "Modele 3D"};
constexpr PackageKind kLod2{"Budynki LOD2: ", "Budynki LOD2: pobieranie ", "Budynki LOD2"};

// Download progress: percent of a known size, the sizes in the label; a cancel stops the download.
net::ProgressCallback downloadProgress(FetchContext& ctx, const PackageKind& kind) {
    return [&ctx, &kind](std::int64_t done, std::int64_t total) {
        std::string label = kind.downloadLabel + net::formatByteSize(done);
        if (total > 0) label += " / " + net::formatByteSize(total);
        ctx.progressEvent(label, total > 0 ? static_cast<int>(done * 100 / total) : 0, 100, true);
        return !ctx.cancelled();
    };
}

// The county of the frame (4 digits), or "" after a note saying why there is none.
std::string countyOf(FetchContext& ctx, const PackageKind& kind) {
    const std::string& code = ctx.gminaCode();
    if (code.empty()) {
        ctx.addWarning(std::string(kind.prefix) + "nie udalo sie ustalic powiatu dla tego kadru.");
        return {};
    }
    if (code.size() < 4) {
        ctx.addWarning(std::string(kind.prefix) + "nieprawidlowy kod TERYT dla tego kadru.");
        return {};
    }
    return code.substr(0, 4);
}

// Downloads the first address that yields a file; its index in `urls`, or -1 after a note.
int download(FetchContext& ctx, const PackageKind& kind, const std::vector<std::string>& urls,
             const std::string& county, std::string& path) {
    std::string error;
    for (std::size_t k = 0; k < urls.size(); ++k) {
        error.clear();
        if (urls[k].empty()) continue;
        path = ctx.client.getCachedFile(urls[k], downloadProgress(ctx, kind), net::kPackageTimeoutMs, error);
        if (!path.empty()) return static_cast<int>(k);
        if (ctx.cancelled()) break;  // a cancelled download asks no further year
    }
    ctx.addWarning(std::string(kind.prefix) + (error.empty() ? "brak paczki dla powiatu " + county + "." : error));
    return -1;
}

// The sheets of the package touching the frame; a package that cannot be read is removed with its index so
// that the next fetch downloads it again.
bool sheetsOf(FetchContext& ctx, const PackageKind& kind, const std::string& path,
              std::vector<buildings::PackageSheet>& sheets) {
    std::string error;
    if (buildings::openPackage(path, error)) sheets = buildings::loadOrBuildSheetIndex(path, error);
    if (error.empty() && !sheets.empty()) {
        sheets = buildings::sheetsTouching(sheets, ctx.frame);
        return true;
    }
    ctx.addWarning(kind.prefix + error + " Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie.");
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::remove(buildings::sheetIndexPath(path), ignored);
    return false;
}

template <typename Parse>
auto readSheets(FetchContext& ctx, const PackageKind& kind, const std::string& path,
                const std::vector<buildings::PackageSheet>& sheets, Parse parse) {
    decltype(parse(std::string_view{}, ctx.frame)) out;
    const platform::ProgressCallback progress = ctx.progress(kind.modelLabel);
    const auto total = static_cast<std::int64_t>(sheets.size());
    for (std::size_t k = 0; k < sheets.size(); ++k) {
        progress(static_cast<std::int64_t>(k), total);
        auto found = parse(buildings::readSheet(path, sheets[k].entry), ctx.frame);
        out.insert(out.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    }
    progress(total, total);
    return out;
}

}  // namespace

std::vector<buildings::Building3D> fetchBuildings3d(FetchContext& ctx, std::string& note) {
    const std::string county = countyOf(ctx, kLod1);
    if (county.empty()) return {};
    std::vector<std::string> urls;
    for (int year : kLod1Years) urls.push_back(net::serviceEndpoints().buildings3dLod1(year, county));
    std::string path;
    const int found = download(ctx, kLod1, urls, county, path);
    std::vector<buildings::PackageSheet> sheets;
    if (found < 0 || !sheetsOf(ctx, kLod1, path, sheets)) return {};
    auto out = readSheets(ctx, kLod1, path, sheets, buildings::parseLod1Sheet);
    note = "Modele 3D: LOD1 " + std::to_string(kLod1Years[found]) + ", powiat " + county +
           ", budynkow w kadrze: " + std::to_string(out.size());
    return out;
}

std::vector<buildings::BuildingLod2> fetchBuildingsLod2(FetchContext& ctx, std::string& note) {
    const std::string county = countyOf(ctx, kLod2);
    if (county.empty()) return {};
    std::string path;
    std::vector<buildings::PackageSheet> sheets;
    if (download(ctx, kLod2, {net::serviceEndpoints().buildings3dLod2(county)}, county, path) < 0 ||
        !sheetsOf(ctx, kLod2, path, sheets))
        return {};
    auto out = readSheets(ctx, kLod2, path, sheets, buildings::parseLod2Sheet);
    note = "Budynki LOD2: powiat " + county + ", budynkow w kadrze: " + std::to_string(out.size());
    return out;
}

void fetchBuildings3dGroup(FetchContext& ctx) {
    std::string note;
    ctx.result.buildings3d = fetchBuildings3d(ctx, note);
    ctx.result.buildings3dNote = note;
    ctx.addWarning(note);
}

void fetchBuildingsLod2Group(FetchContext& ctx) {
    std::string note;
    ctx.result.buildingsLod2 = fetchBuildingsLod2(ctx, note);
    ctx.result.buildingsLod2Note = note;
    ctx.addWarning(note);
    if (ctx.result.buildingsLod2.empty())
        ctx.addWarning("Brak budynkow LOD2 dla tego obszaru (pokrycie GUGiK ~236/380 powiatow).");
}

}  // namespace importer
