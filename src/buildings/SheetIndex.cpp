#include "buildings/SheetIndex.h"

#include <charconv>
#include <cstring>
#include <fstream>
#include <iterator>

#include "platform/Numbers.h"
#include "platform/Paths.h"

namespace buildings {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

// Four numbers separated by blanks, as "%lf\t%lf\t%lf\t%lf" reads them (anything after them is ignored).
bool readFour(std::string_view text, double (&out)[4]) {
    const char* p = text.data();
    const char* end = p + text.size();
    for (double& value : out) {
        while (p < end && isBlank(*p)) ++p;
        if (p < end && *p == '+') ++p;
        const auto [next, ec] = std::from_chars(p, end, value);
        if (ec != std::errc()) return false;
        p = next;
    }
    return true;
}

}  // namespace

std::filesystem::path sheetIndexPath(const std::filesystem::path& package) {
    std::filesystem::path p = package;
    p += ".idx";
    return p;
}

std::string sheetIndexText(const std::vector<PackageSheet>& sheets) {
    std::string text = std::string(kSheetIndexFirstLine) + "\n";
    for (const PackageSheet& s : sheets)
        text += platform::cformat("%s\t%.3f\t%.3f\t%.3f\t%.3f\n", s.entry.c_str(), s.extent.minE, s.extent.minN,
                                  s.extent.maxE, s.extent.maxN);
    return text;
}

std::vector<PackageSheet> parseSheetIndex(std::string_view text) {
    std::vector<PackageSheet> sheets;
    std::size_t eol = text.find('\n');
    const std::string_view first = text.substr(0, eol);
    if (first.size() < 7 || first.substr(0, 7) != kSheetIndexTag) return sheets;
    while (eol != std::string_view::npos) {
        const std::size_t start = eol + 1;
        eol = text.find('\n', start);
        const std::string_view line = text.substr(start, eol == std::string_view::npos ? eol : eol - start);
        const std::size_t tab = line.find('\t');
        if (line.empty() || tab == std::string_view::npos) continue;
        double v[4];
        if (!readFour(line.substr(tab + 1), v)) continue;
        sheets.push_back({std::string(line.substr(0, tab)), {v[0], v[1], v[2], v[3]}});
    }
    return sheets;
}

std::vector<PackageSheet> readSheetIndex(const std::filesystem::path& package) {
    std::ifstream in(sheetIndexPath(package), std::ios::binary);
    if (!in) return {};
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.substr(0, text.find('\n')) != kSheetIndexFirstLine) return {};
    return parseSheetIndex(text);
}

bool writeSheetIndex(const std::filesystem::path& package, const std::vector<PackageSheet>& sheets) {
    return platform::writeFileAtomically(sheetIndexPath(package), sheetIndexText(sheets));
}

}  // namespace buildings
