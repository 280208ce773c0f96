#include "buildings/BuildingPackage.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <system_error>

#include <zip.h>

#include "buildings/SheetIndex.h"
#include "buildings/detail/ExtentScanner.h"

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

// Streams the entry to `take` in pieces, stopping after `limit` bytes; false when the entry does not inflate
// (a wrong checksum shows at its end).
template <typename Take>
bool streamEntry(zip_t* z, zip_uint64_t index, std::size_t limit, const Take& take) {
    EntryHandle file(zip_fopen_index(z, index, 0));
    if (!file) return false;
    char buffer[65536];
    std::size_t total = 0;
    while (total < limit) {
        const std::size_t want = std::min(sizeof buffer, limit - total);
        const zip_int64_t got = zip_fread(file.get(), buffer, want);
        if (got < 0) return false;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
        take(std::string_view(buffer, static_cast<std::size_t>(got)));
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

SheetRead readSheet(const std::filesystem::path& zip, const std::string& entry, std::string& text, std::size_t limit) {
    text.clear();
    const ZipHandle z = openZip(zip);
    if (!z) return SheetRead::Damaged;
    const zip_int64_t index = zip_name_locate(z.get(), entry.c_str(), 0);
    if (index < 0) return SheetRead::Missing;
    ++packageInflations().sheetReads;
    zip_stat_t st;
    // The size is the entry's own claim: it only spares regrowing the text, reading stops at the data there.
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(index), 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE))
        text.reserve(static_cast<std::size_t>(std::min<zip_uint64_t>(st.size, limit)));
    const bool read = streamEntry(z.get(), static_cast<zip_uint64_t>(index), limit + 1,
                                  [&text](std::string_view piece) { text.append(piece); });
    if (read && text.size() <= limit) return SheetRead::Read;
    const SheetRead why = read ? SheetRead::TooLarge : SheetRead::Damaged;
    std::string().swap(text);
    return why;
}

std::vector<PackageSheet> scanPackage(const std::filesystem::path& zip, std::string& error, std::size_t limit) {
    std::vector<PackageSheet> sheets;
    const ZipHandle z = openZip(zip);
    if (!z) {
        error = "Nie mozna otworzyc paczki modeli 3D: " + zip.string();
        return sheets;
    }
    const zip_int64_t count = zip_get_num_entries(z.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(z.get(), index, 0);
        if (!name || !*name || name[std::char_traits<char>::length(name) - 1] == '/') continue;
        ++packageInflations().scans;
        // The whole sheet once: a declared envelope may be smaller than the data, or missing.
        detail::ExtentScanner scanner;
        if (!streamEntry(z.get(), index, limit, [&scanner](std::string_view piece) { scanner.feed(piece); })) {
            error = "Paczka modeli 3D jest uszkodzona (arkusz " + std::string(name) + " nie daje sie rozpakowac).";
            return {};
        }
        geodesy::Bbox extent;
        if (scanner.extent(extent)) sheets.push_back({name, extent});
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
