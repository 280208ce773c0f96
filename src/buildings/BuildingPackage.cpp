#include "buildings/BuildingPackage.h"

#include <memory>
#include <system_error>

#include <zip.h>

#include "buildings/CityGmlSheet.h"
#include "buildings/SheetIndex.h"

namespace buildings {

namespace {

struct ZipCloser {
    void operator()(zip_t* z) const { zip_discard(z); }
};
struct EntryCloser {
    void operator()(zip_file_t* f) const { zip_fclose(f); }
};
using ZipHandle = std::unique_ptr<zip_t, ZipCloser>;
using EntryHandle = std::unique_ptr<zip_file_t, EntryCloser>;

ZipHandle openZip(const std::filesystem::path& path) {
    int code = 0;
    // A consistency check turns a cut-off or garbled package into a failed open rather than odd entries.
    return ZipHandle(zip_open(path.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &code));
}

// Up to `limit` bytes of the entry, inflated; false when the entry cannot be read.
bool inflateEntry(zip_t* z, zip_uint64_t index, std::size_t limit, std::string& out) {
    out.clear();
    EntryHandle file(zip_fopen_index(z, index, 0));
    if (!file) return false;
    char buffer[65536];
    while (out.size() < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - out.size());
        const zip_int64_t got = zip_fread(file.get(), buffer, want);
        if (got < 0) return false;
        if (got == 0) break;
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

}  // namespace

PackageInflations& packageInflations() {
    static PackageInflations counts;
    return counts;
}

bool openPackage(const std::filesystem::path& zip, std::string& error) {
    if (openZip(zip)) return true;
    error = "Nie mozna otworzyc paczki modeli 3D: " + zip.string();
    return false;
}

std::string readSheet(const std::filesystem::path& zip, const std::string& entry) {
    const ZipHandle z = openZip(zip);
    if (!z) return {};
    const zip_int64_t index = zip_name_locate(z.get(), entry.c_str(), 0);
    zip_stat_t st;
    if (index < 0 || zip_stat_index(z.get(), static_cast<zip_uint64_t>(index), 0, &st) != 0) return {};
    ++packageInflations().sheetReads;
    std::string text;
    // The size is the entry's own claim; reading stops at the data actually there.
    const std::size_t size = (st.valid & ZIP_STAT_SIZE) ? static_cast<std::size_t>(st.size) : SIZE_MAX;
    if (!inflateEntry(z.get(), static_cast<zip_uint64_t>(index), size, text)) return {};
    return text;
}

std::vector<PackageSheet> scanPackage(const std::filesystem::path& zip, std::string& error) {
    std::vector<PackageSheet> sheets;
    const ZipHandle z = openZip(zip);
    if (!z) {
        error = "Nie mozna otworzyc paczki modeli 3D: " + zip.string();
        return sheets;
    }
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    std::string text;
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(z.get(), index, 0);
        if (!name || !*name || name[std::char_traits<char>::length(name) - 1] == '/') continue;
        geodesy::Bbox extent;
        ++packageInflations().prefixes;
        if (!inflateEntry(z.get(), index, kScanPrefixBytes, text)) continue;
        bool found = sheetExtent(text, extent);
        if (!found && text.size() >= kScanPrefixBytes) {
            ++packageInflations().wholeScans;
            found = inflateEntry(z.get(), index, SIZE_MAX, text) && sheetExtent(text, extent);
        }
        if (found) sheets.push_back({name, extent});
    }
    if (sheets.empty()) error = "Paczka modeli 3D nie zawiera czytelnych arkuszy.";
    return sheets;
}

std::vector<PackageSheet> loadOrBuildSheetIndex(const std::filesystem::path& zip, std::string& error) {
    // An index older than its package belongs to an earlier download of it (the cache expires the package
    // first), whose sheets may differ: it is rebuilt.
    std::error_code ec, ec2;
    const auto indexTime = std::filesystem::last_write_time(sheetIndexPath(zip), ec);
    const auto packageTime = std::filesystem::last_write_time(zip, ec2);
    std::vector<PackageSheet> sheets;
    if (!ec && !ec2 && indexTime >= packageTime) sheets = readSheetIndex(zip);
    if (!sheets.empty()) return sheets;
    sheets = scanPackage(zip, error);
    // An index that cannot be written only costs the next fetch another scan.
    if (!sheets.empty()) writeSheetIndex(zip, sheets);
    return sheets;
}

std::vector<PackageSheet> sheetsTouching(const std::vector<PackageSheet>& sheets, const geodesy::Bbox& frame) {
    std::vector<PackageSheet> out;
    for (const PackageSheet& s : sheets)
        if (extentsTouch(s.extent, frame)) out.push_back(s);
    return out;
}

}  // namespace buildings
