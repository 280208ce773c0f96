#include "formats/grid/AsciiGrid.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <limits>

#include "platform/PrintableText.h"

namespace grid {

namespace {

constexpr std::array<bool, 256> makeSpaceTable() {
    std::array<bool, 256> t{};
    for (unsigned char c : {' ', '\t', '\n', '\r', '\v', '\f'}) t[c] = true;
    return t;
}
constexpr std::array<bool, 256> kSpace = makeSpaceTable();

inline bool isSpace(char c) { return kSpace[static_cast<unsigned char>(c)]; }

// Walks the text token by token. Numbers are scanned with from_chars, which ignores the locale.
struct Scanner {
    const char* begin;
    const char* p;
    const char* end;

    void skipSpace() {
        while (p < end && isSpace(*p)) ++p;
    }
    bool atEnd() {
        skipSpace();
        return p == end;
    }
    std::string_view word() {
        skipSpace();
        const char* s = p;
        while (p < end && !isSpace(*p)) ++p;
        return {s, static_cast<std::size_t>(p - s)};
    }
    // One whole token as a finite number; on failure the position stays at the token.
    bool number(double& out) {
        skipSpace();
        const char* s = p;
        if (s < end && *s == '+' && s + 1 < end && s[1] != '-') ++s;
        auto [next, ec] = std::from_chars(s, end, out);
        if (ec != std::errc() || (next < end && !isSpace(*next)) || !std::isfinite(out)) return false;
        p = next;
        return true;
    }
    std::size_t offset() const { return static_cast<std::size_t>(p - begin); }
};

std::size_t lineAt(std::string_view text, std::size_t offset) {
    offset = std::min(offset, text.size());
    return 1 +
           static_cast<std::size_t>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

AsciiGridStatus failAt(std::string_view text, std::size_t offset, std::string message, std::size_t valuesRead = 0) {
    AsciiGridStatus s;
    s.ok = false;
    s.offset = offset;
    s.line = lineAt(text, offset);
    s.message = std::move(message) + " (linia " + std::to_string(s.line) + ")";
    s.valuesRead = valuesRead;
    return s;
}

std::string lower(std::string_view w) {
    std::string out(w);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// A token of the file as a message may quote it: short, and without control bytes (a file could otherwise
// send terminal escapes to whoever reads the message).
std::string shortToken(std::string_view t) { return platform::printableText(t, 40); }

// Whole count from a header number, truncated toward zero; false when it does not fit.
bool headerCount(double v, std::int32_t& out) {
    if (!(v > -1.0 && v < 2147483648.0)) return false;
    out = static_cast<std::int32_t>(v);
    return true;
}

}  // namespace

AsciiGridStatus parseAsciiGrid(ElevationGrid& grid, std::string_view text) {
    Scanner sc{text.data(), text.data(), text.data() + text.size()};
    // A byte-order mark from a Windows editor is not part of the first key.
    if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") sc.p += 3;

    // A centre-referenced header names the middle of the lower-left cell; the origin is that cell's corner,
    // half a cell further west and south (as GDAL reads it).
    bool xCentre = false, yCentre = false;
    for (int pair = 0; pair < 6; ++pair) {
        if (sc.atEnd()) return failAt(text, sc.offset(), "Plik ASC: naglowek urwany - brak klucza");
        std::size_t keyAt = sc.offset();
        std::string key = lower(sc.word());
        if (sc.atEnd())
            return failAt(text, sc.offset(),
                          "Plik ASC: naglowek urwany - brak liczby po kluczu '" + shortToken(key) + "'");
        double value = 0.0;
        std::size_t valueAt = sc.offset();
        // Some writers mark "no nodata value" with NaN; the values themselves are always finite numbers.
        if (key == "nodata_value") {
            const char* before = sc.p;
            if (lower(sc.word()) == "nan") {
                grid.nodata = std::numeric_limits<double>::quiet_NaN();
                continue;
            }
            sc.p = before;
        }
        if (!sc.number(value)) {
            std::string token(sc.word());
            return failAt(
                text, valueAt,
                "Plik ASC: nieprawidlowa liczba '" + shortToken(token) + "' po kluczu '" + shortToken(key) + "'");
        }
        if (key == "ncols") {
            if (!headerCount(value, grid.ncols)) return failAt(text, valueAt, "Plik ASC: nieprawidlowe ncols");
        } else if (key == "nrows") {
            if (!headerCount(value, grid.nrows)) return failAt(text, valueAt, "Plik ASC: nieprawidlowe nrows");
        } else if (key == "xllcorner" || key == "xllcenter") {
            grid.x0 = value;
            xCentre = key == "xllcenter";
        } else if (key == "yllcorner" || key == "yllcenter") {
            grid.y0 = value;
            yCentre = key == "yllcenter";
        } else if (key == "cellsize") {
            grid.cellsize = value;
        } else if (key == "nodata_value") {
            grid.nodata = value;
        } else {
            return failAt(text, keyAt, "Plik ASC: nieznany klucz naglowka '" + shortToken(key) + "'");
        }
    }
    if (grid.ncols < 1 || grid.nrows < 1 || !(grid.cellsize > 0.0))
        return failAt(text, sc.offset(), "Plik ASC: nieprawidlowy rozmiar siatki (ncols, nrows lub cellsize)");
    if (xCentre) grid.x0 -= grid.cellsize / 2;
    if (yCentre) grid.y0 -= grid.cellsize / 2;

    const std::size_t count = static_cast<std::size_t>(grid.ncols) * static_cast<std::size_t>(grid.nrows);
    // Every value takes at least one character and one separator: a header promising more than the
    // rest of the text can hold is a cut-off file, refused before any memory is reserved for it.
    sc.skipSpace();
    const std::size_t remaining = static_cast<std::size_t>(sc.end - sc.p);
    if (count > remaining / 2 + 1) {
        std::size_t present = 0;
        double v = 0.0;
        while (!sc.atEnd() && sc.number(v)) ++present;
        if (sc.atEnd())
            return failAt(text, sc.offset(),
                          "Plik ASC: plik urwany - odczytano " + std::to_string(present) + " z " +
                              std::to_string(count) + " wartosci",
                          present);
        return failAt(text, sc.offset(),
                      "Plik ASC: nieprawidlowa wartosc '" + shortToken(sc.word()) + "' (wartosc nr " +
                          std::to_string(present + 1) + ")",
                      present);
    }

    grid.values.resize(count);
    double* out = grid.values.data();
    for (std::size_t i = 0; i < count; ++i) {
        sc.skipSpace();
        if (sc.p == sc.end)
            return failAt(
                text, sc.offset(),
                "Plik ASC: plik urwany - odczytano " + std::to_string(i) + " z " + std::to_string(count) + " wartosci",
                i);
        if (!sc.number(out[i])) {
            std::size_t at = sc.offset();
            return failAt(text, at,
                          "Plik ASC: nieprawidlowa wartosc '" + shortToken(sc.word()) + "' (wartosc nr " +
                              std::to_string(i + 1) + ")",
                          i);
        }
    }
    AsciiGridStatus ok;
    ok.ok = true;
    ok.valuesRead = count;
    return ok;
}

AsciiGridStatus readAsciiGridFile(ElevationGrid& grid, const std::filesystem::path& path) {
    AsciiGridStatus unreadable;
    unreadable.message = "Plik ASC: nie mozna odczytac pliku " + path.string();
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec)) return unreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in) return unreadable;
    // Read in pieces rather than trusting a size: pipes and special files report none.
    std::string text;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxGridFileBytes) {
        unreadable.message =
            "Plik ASC: plik zbyt duzy (limit " + std::to_string(kMaxGridFileBytes >> 20) + " MB): " + path.string();
        return unreadable;
    }
    if (!ec) text.reserve(static_cast<std::size_t>(size));
    std::string chunk(1 << 20, '\0');
    while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
        const std::string_view piece(chunk.data(), static_cast<std::size_t>(in.gcount()));
        // A grid is text: NUL bytes (a device such as /dev/zero, a binary file) end the read at once, and an
        // endless or giant input ends at the size limit instead of exhausting memory.
        if (piece.find('\0') != std::string_view::npos) {
            unreadable.message = "Plik ASC: to nie jest plik tekstowy siatki: " + path.string();
            return unreadable;
        }
        if (text.size() + piece.size() > kMaxGridFileBytes) {
            unreadable.message =
                "Plik ASC: plik zbyt duzy (limit " + std::to_string(kMaxGridFileBytes >> 20) + " MB): " + path.string();
            return unreadable;
        }
        text.append(piece);
    }
    if (in.bad()) return unreadable;
    return parseAsciiGrid(grid, text);
}

bool sampleGrid(const ElevationGrid& g, double x, double y, double& z) {
    if (g.values.empty() || g.ncols < 1 || g.nrows < 1 ||
        g.values.size() != static_cast<std::size_t>(g.ncols) * static_cast<std::size_t>(g.nrows))
        return false;
    const double fx = (x - g.x0) / g.cellsize;
    const double fy = (y - g.y0) / g.cellsize;
    const double cf = std::floor(fx);
    const double rf = std::floor(fy);
    // Written so that NaN coordinates fail as well.
    if (!(cf >= 0.0 && cf <= g.ncols - 1.0 && rf >= 0.0 && rf <= g.nrows - 1.0)) return false;
    const int c = static_cast<int>(cf);
    const int r = static_cast<int>(rf);

    const double gx = fx - 0.5;
    const double gy = fy - 0.5;
    const double c0f = std::floor(gx);
    const double r0f = std::floor(gy);
    const double tx = gx - c0f;
    const double ty = gy - r0f;
    auto clampCol = [&](double v) { return static_cast<int>(std::clamp(v, 0.0, g.ncols - 1.0)); };
    auto clampRow = [&](double v) { return static_cast<int>(std::clamp(v, 0.0, g.nrows - 1.0)); };
    const int c0 = clampCol(c0f), c1 = clampCol(c0f + 1.0);
    const int r0 = clampRow(r0f), r1 = clampRow(r0f + 1.0);
    auto at = [&](int col, int rowFromBottom) {
        return g.values[static_cast<std::size_t>(g.nrows - 1 - rowFromBottom) * static_cast<std::size_t>(g.ncols) +
                        static_cast<std::size_t>(col)];
    };
    const double v00 = at(c0, r0), v10 = at(c1, r0), v01 = at(c0, r1), v11 = at(c1, r1);
    if (v00 != g.nodata && v10 != g.nodata && v01 != g.nodata && v11 != g.nodata) {
        z = (1 - tx) * (1 - ty) * v00 + tx * (1 - ty) * v10 + (1 - tx) * ty * v01 + tx * ty * v11;
        return true;
    }
    const double own = at(c, r);
    if (own == g.nodata) return false;
    z = own;
    return true;
}

bool mosaicSample(const std::vector<ElevationGrid>& grids, double x, double y, double& z) {
    for (const auto& g : grids) {
        if (sampleGrid(g, x, y, z)) return true;
    }
    return false;
}

}  // namespace grid
