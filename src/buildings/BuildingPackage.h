// A county package of CityGML sheets (a zip file): opening, reading a sheet, scanning the sheets' extents, and
// the side index that spares later fetches the scan.
#pragma once
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "buildings/PackageSheet.h"

namespace buildings {

// How much the scan inflates of a sheet before it looks for the extent.
inline constexpr std::size_t kScanPrefixBytes = 8192;

// Inflations of package entries in this process, for support and tests.
struct PackageInflations {
    std::atomic<std::int64_t> prefixes{0};    // the scan's first 8192 bytes of an entry
    std::atomic<std::int64_t> wholeScans{0};  // the scan's whole entries (extent not in the prefix)
    std::atomic<std::int64_t> sheetReads{0};  // whole entries read for their buildings
};
PackageInflations& packageInflations();

// Whether the zip package can be opened; error = "Nie mozna otworzyc paczki modeli 3D: <path>" when not.
bool openPackage(const std::filesystem::path& zip, std::string& error);
// The whole text of one entry; empty when it cannot be read.
std::string readSheet(const std::filesystem::path& zip, const std::string& entry);
// Every entry with an extent, in the package's order; error set (and no sheet) when none can be read.
std::vector<PackageSheet> scanPackage(const std::filesystem::path& zip, std::string& error);
// The sheets of the side index, else of a scan (which then writes the index); empty with error on failure.
std::vector<PackageSheet> loadOrBuildSheetIndex(const std::filesystem::path& zip, std::string& error);
// Sheets whose extent touches the frame, in index order.
std::vector<PackageSheet> sheetsTouching(const std::vector<PackageSheet>& sheets, const geodesy::Bbox& frame);

}  // namespace buildings
