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

// A sheet larger than this once inflated is not read (a few kilobytes of zip can claim gigabytes); the scan
// takes its extent from this much of it.
inline constexpr std::size_t kMaxSheetBytes = std::size_t{256} << 20;

// Inflations of package entries in this process, for support and tests.
struct PackageInflations {
    std::atomic<std::int64_t> scans{0};       // entries streamed once by the scan for their extent
    std::atomic<std::int64_t> sheetReads{0};  // whole entries read for their buildings
};
PackageInflations& packageInflations();

enum class SheetRead {
    Read,
    Missing,   // no such entry
    Damaged,   // the entry does not inflate (broken data, wrong checksum)
    TooLarge,  // more than kMaxSheetBytes inflated
};

// Whether the zip package can be opened; error = "Nie mozna otworzyc paczki modeli 3D: <path>" when not.
bool openPackage(const std::filesystem::path& zip, std::string& error);
// The whole text of one entry (empty unless Read), refused past `limit` bytes inflated.
SheetRead readSheet(const std::filesystem::path& zip, const std::string& entry, std::string& text,
                    std::size_t limit = kMaxSheetBytes);
// Every entry with an extent, in the package's order, each streamed once (up to `limit` bytes); error set (and no
// sheet) when none can be read or an entry does not inflate.
std::vector<PackageSheet> scanPackage(const std::filesystem::path& zip, std::string& error,
                                      std::size_t limit = kMaxSheetBytes);
// The sheets of the side index, else of a scan (which then writes the index); empty with error on failure.
std::vector<PackageSheet> loadOrBuildSheetIndex(const std::filesystem::path& zip, std::string& error);
// Sheets whose extent touches the frame, in index order.
std::vector<PackageSheet> sheetsTouching(const std::vector<PackageSheet>& sheets, const geodesy::Bbox& frame);

}  // namespace buildings
