// Fuzz target for county packages: any bytes a download may leave in the cache must neither crash nor inflate
// past the sheet bound, and a package is either read (every indexed sheet readable or named as damaged) or
// refused with a message.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include "buildings/BuildingPackage.h"
#include "buildings/CityGmlSheet.h"
#include "buildings/SheetIndex.h"

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::filesystem::path zip =
        std::filesystem::temp_directory_path() / ("geodraft_fuzz_package_" + std::to_string(getpid()) + ".zip");
    std::error_code ignored;
    std::filesystem::remove(buildings::sheetIndexPath(zip), ignored);
    std::ofstream(zip, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    std::string error;
    if (!buildings::openPackage(zip, error)) {
        require(!error.empty());
        return 0;
    }
    const auto sheets = buildings::loadOrBuildSheetIndex(zip, error);
    require(sheets.empty() == !error.empty());
    for (const buildings::PackageSheet& sheet : sheets) {
        std::string text;
        const buildings::SheetRead read = buildings::readSheet(zip, sheet.entry, text);
        require(text.size() <= buildings::kMaxSheetBytes && (read == buildings::SheetRead::Read || text.empty()));
        buildings::parseLod2Sheet(std::move(text), sheet.extent);
    }
    // The index it wrote gives the same sheets back.
    if (!sheets.empty() && std::filesystem::exists(buildings::sheetIndexPath(zip)))
        require(buildings::readSheetIndex(zip).size() == sheets.size());
    std::filesystem::remove(zip, ignored);
    std::filesystem::remove(buildings::sheetIndexPath(zip), ignored);
    return 0;
}
