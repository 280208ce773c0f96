#include "import/FetchBuildingModels.h"

#include <filesystem>
#include <fstream>
#include <set>
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

// How a package fetch ended: no package for the county, a failure (said in a note), or read.
enum class Outcome { NoPackage, Failed, Read };

// Downloads the first address that yields a file; its index in `urls`, or -1 after a note.
int download(FetchContext& ctx, const PackageKind& kind, const std::vector<std::string>& urls,
             const std::string& county, std::string& path, Outcome& outcome) {
    std::string error;
    for (std::size_t k = 0; k < urls.size(); ++k) {
        error.clear();
        if (urls[k].empty()) continue;
        path = ctx.client.getCachedFile(urls[k], downloadProgress(ctx, kind), net::kPackageTimeoutMs, error);
        if (!path.empty()) return static_cast<int>(k);
        if (ctx.cancelled()) break;  // a cancelled download asks no further year
    }
    ctx.addWarning(std::string(kind.prefix) + (error.empty() ? "brak paczki dla powiatu " + county + "." : error));
    outcome = error.empty() ? Outcome::NoPackage : Outcome::Failed;
    return -1;
}

void removePackage(const std::string& path) {
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    std::filesystem::remove(buildings::sheetIndexPath(path), ignored);
}

std::filesystem::path readingMark(const std::string& path) { return path + ".reading"; }

// A mark beside the package while it is read: one left behind by a reading that never ended (the program
// stopped inside it) makes the next fetch download the package again instead of reading it again.
class ReadingMark {
public:
    explicit ReadingMark(const std::string& path) : mark_(readingMark(path)) {
        std::ofstream(mark_, std::ios::binary | std::ios::trunc) << "1";
    }
    ~ReadingMark() {
        std::error_code ignored;
        std::filesystem::remove(mark_, ignored);
    }
    ReadingMark(const ReadingMark&) = delete;
    ReadingMark& operator=(const ReadingMark&) = delete;

private:
    std::filesystem::path mark_;
};

// The package's cached file, downloaded again when an earlier reading of it never ended.
int fetchPackage(FetchContext& ctx, const PackageKind& kind, const std::vector<std::string>& urls,
                 const std::string& county, std::string& path, Outcome& outcome) {
    const int found = download(ctx, kind, urls, county, path, outcome);
    std::error_code ec;
    if (found < 0 || !std::filesystem::exists(readingMark(path), ec)) return found;
    removePackage(path);
    std::filesystem::remove(readingMark(path), ec);
    ctx.addWarning(std::string(kind.prefix) + "poprzedni odczyt paczki nie zakonczyl sie - paczka pobrana ponownie.");
    std::vector<std::string> again(urls.size());
    again[static_cast<std::size_t>(found)] = urls[static_cast<std::size_t>(found)];
    return download(ctx, kind, again, county, path, outcome);
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
    removePackage(path);
    return false;
}

const std::string& idOf(const buildings::Building3D& b) { return b.id; }
const std::string& idOf(const buildings::BuildingLod2& b) { return b.id; }

// What reading the sheets gave besides the records.
struct SheetsRead {
    int buildings = 0;     // buildings, not the parts of a LOD1 building
    bool damaged = false;  // a sheet did not inflate or parse: the package goes
    bool whole = true;     // every sheet of the frame was read
};

// Every sheet's buildings. Sheets that do not inflate or parse are named (the caller removes the package); a sheet
// too large is named and skipped; buildings with damaged coordinates are counted in a note; a building that an
// earlier sheet already gave (same identifier) is not taken twice.
template <typename Parse>
auto readSheets(FetchContext& ctx, const PackageKind& kind, const std::string& path,
                const std::vector<buildings::PackageSheet>& sheets, Parse parse, SheetsRead& read) {
    decltype(parse(std::string{}, ctx.frame, nullptr)) out;
    const platform::ProgressCallback progress = ctx.progress(kind.modelLabel);
    const auto total = static_cast<std::int64_t>(sheets.size());
    std::vector<std::string> damagedSheets;
    std::set<std::string> earlierIds;
    int damagedBuildings = 0;
    for (std::size_t k = 0; k < sheets.size() && !ctx.cancelled(); ++k) {
        progress(static_cast<std::int64_t>(k), total);
        std::string text;
        const buildings::SheetRead status = buildings::readSheet(path, sheets[k].entry, text);
        if (status == buildings::SheetRead::TooLarge) {
            ctx.addWarning(std::string(kind.prefix) + "arkusz " + sheets[k].entry + " ma po rozpakowaniu ponad " +
                           std::to_string(buildings::kMaxSheetBytes >> 20) + " MB - pominiety.");
            read.whole = false;
            continue;
        }
        buildings::SheetFindings found;
        auto records = parse(std::move(text), ctx.frame, &found);
        if (status != buildings::SheetRead::Read || !found.readable) {
            damagedSheets.push_back(sheets[k].entry);
            continue;
        }
        damagedBuildings += found.damaged;
        std::set<std::string> taken, repeated;
        for (auto& r : records) {
            const std::string& id = idOf(r);
            if (!id.empty() && earlierIds.count(id) != 0) {
                repeated.insert(id);
                continue;
            }
            if (!id.empty()) taken.insert(id);
            out.push_back(std::move(r));
        }
        read.buildings += found.buildings - static_cast<int>(repeated.size());
        earlierIds.insert(taken.begin(), taken.end());
    }
    progress(total, total);
    if (damagedBuildings > 0)
        ctx.addWarning(std::string(kind.prefix) + "pominieto " + std::to_string(damagedBuildings) +
                       " budynkow z uszkodzonymi wspolrzednymi.");
    if (!damagedSheets.empty()) {
        std::string names;
        for (const std::string& name : damagedSheets) names += (names.empty() ? "" : ", ") + name;
        ctx.addWarning(std::string(kind.prefix) + "uszkodzone arkusze w paczce: " + names +
                       ". Uszkodzona paczka zostala usunieta z cache - sprobuj ponownie.");
        read.damaged = true;
        read.whole = false;
    }
    if (ctx.cancelled()) read.whole = false;
    return out;
}

// One package end to end: download, index, the sheets of the frame; the package is removed when it could not
// be read whole.
template <typename Parse>
auto fetchPackageBuildings(FetchContext& ctx, const PackageKind& kind, const std::vector<std::string>& urls,
                           const std::string& county, Parse parse, int& year, int& count, Outcome& outcome,
                           bool& whole) {
    decltype(parse(std::string{}, ctx.frame, nullptr)) out;
    std::string path;
    outcome = Outcome::Failed;
    year = fetchPackage(ctx, kind, urls, county, path, outcome);
    if (year < 0) return out;
    std::vector<buildings::PackageSheet> sheets;
    SheetsRead read;
    {
        const ReadingMark mark(path);
        if (!sheetsOf(ctx, kind, path, sheets)) return out;
        out = readSheets(ctx, kind, path, sheets, parse, read);
    }
    if (read.damaged) removePackage(path);
    count = read.buildings;
    whole = read.whole;
    outcome = Outcome::Read;
    return out;
}

}  // namespace

std::vector<buildings::Building3D> fetchBuildings3d(FetchContext& ctx, std::string& note) {
    const std::string county = countyOf(ctx, kLod1);
    if (county.empty()) return {};
    std::vector<std::string> urls;
    for (int year : kLod1Years) urls.push_back(net::serviceEndpoints().buildings3dLod1(year, county));
    int found = -1, count = 0;
    Outcome outcome;
    bool whole = false;
    auto out = fetchPackageBuildings(ctx, kLod1, urls, county, buildings::parseLod1Sheet, found, count, outcome, whole);
    if (outcome == Outcome::Read)
        note = "Modele 3D: LOD1 " + std::to_string(kLod1Years[found]) + ", powiat " + county +
               ", budynkow w kadrze: " + std::to_string(count);
    return out;
}

std::vector<buildings::BuildingLod2> fetchBuildingsLod2(FetchContext& ctx, std::string& note, bool* noCoverage) {
    const std::string county = countyOf(ctx, kLod2);
    if (county.empty()) return {};
    int found = -1, count = 0;
    Outcome outcome;
    bool whole = false;
    auto out = fetchPackageBuildings(ctx, kLod2, {net::serviceEndpoints().buildings3dLod2(county)}, county,
                                     buildings::parseLod2Sheet, found, count, outcome, whole);
    if (outcome == Outcome::Read)
        note = "Budynki LOD2: powiat " + county + ", budynkow w kadrze: " + std::to_string(count);
    // Only a package that is not there, or one read whole with no building in the frame, says there is no coverage.
    if (noCoverage) *noCoverage = outcome == Outcome::NoPackage || (outcome == Outcome::Read && whole && out.empty());
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
    bool noCoverage = false;
    ctx.result.buildingsLod2 = fetchBuildingsLod2(ctx, note, &noCoverage);
    ctx.result.buildingsLod2Note = note;
    ctx.addWarning(note);
    if (noCoverage) ctx.addWarning("Brak budynkow LOD2 dla tego obszaru (pokrycie GUGiK ~236/380 powiatow).");
}

}  // namespace importer
