#include "formats/gml/XmlEncoding.h"

#include <array>
#include <cstdint>

namespace gml {

namespace {

using HighHalf = std::array<std::uint16_t, 128>;  // code points of the bytes 0x80..0xFF

constexpr std::uint16_t kUndefined = 0xFFFD;

constexpr HighHalf kIso8859_2 = {
    0x0080, 0x0081, 0x0082, 0x0083, 0x0084, 0x0085, 0x0086, 0x0087, 0x0088, 0x0089, 0x008A, 0x008B, 0x008C,
    0x008D, 0x008E, 0x008F, 0x0090, 0x0091, 0x0092, 0x0093, 0x0094, 0x0095, 0x0096, 0x0097, 0x0098, 0x0099,
    0x009A, 0x009B, 0x009C, 0x009D, 0x009E, 0x009F, 0x00A0, 0x0104, 0x02D8, 0x0141, 0x00A4, 0x013D, 0x015A,
    0x00A7, 0x00A8, 0x0160, 0x015E, 0x0164, 0x0179, 0x00AD, 0x017D, 0x017B, 0x00B0, 0x0105, 0x02DB, 0x0142,
    0x00B4, 0x013E, 0x015B, 0x02C7, 0x00B8, 0x0161, 0x015F, 0x0165, 0x017A, 0x02DD, 0x017E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr HighHalf kWindows1250 = {
    0x20AC, 0xFFFD, 0x201A, 0xFFFD, 0x201E, 0x2026, 0x2020, 0x2021, 0xFFFD, 0x2030, 0x0160, 0x2039, 0x015A,
    0x0164, 0x017D, 0x0179, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0xFFFD, 0x2122,
    0x0161, 0x203A, 0x015B, 0x0165, 0x017E, 0x017A, 0x00A0, 0x02C7, 0x02D8, 0x0141, 0x00A4, 0x0104, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x015E, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x017B, 0x00B0, 0x00B1, 0x02DB, 0x0142,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x0105, 0x015F, 0x00BB, 0x013D, 0x02DD, 0x013E, 0x017C, 0x0154,
    0x00C1, 0x00C2, 0x0102, 0x00C4, 0x0139, 0x0106, 0x00C7, 0x010C, 0x00C9, 0x0118, 0x00CB, 0x011A, 0x00CD,
    0x00CE, 0x010E, 0x0110, 0x0143, 0x0147, 0x00D3, 0x00D4, 0x0150, 0x00D6, 0x00D7, 0x0158, 0x016E, 0x00DA,
    0x0170, 0x00DC, 0x00DD, 0x0162, 0x00DF, 0x0155, 0x00E1, 0x00E2, 0x0103, 0x00E4, 0x013A, 0x0107, 0x00E7,
    0x010D, 0x00E9, 0x0119, 0x00EB, 0x011B, 0x00ED, 0x00EE, 0x010F, 0x0111, 0x0144, 0x0148, 0x00F3, 0x00F4,
    0x0151, 0x00F6, 0x00F7, 0x0159, 0x016F, 0x00FA, 0x0171, 0x00FC, 0x00FD, 0x0163, 0x02D9,
};

constexpr HighHalf kWindows1252 = {
    0x20AC, 0xFFFD, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152,
    0xFFFD, 0x017D, 0xFFFD, 0xFFFD, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122,
    0x0161, 0x203A, 0x0153, 0xFFFD, 0x017E, 0x0178, 0x00A0, 0x00A1, 0x00A2, 0x00A3, 0x00A4, 0x00A5, 0x00A6,
    0x00A7, 0x00A8, 0x00A9, 0x00AA, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x00AF, 0x00B0, 0x00B1, 0x00B2, 0x00B3,
    0x00B4, 0x00B5, 0x00B6, 0x00B7, 0x00B8, 0x00B9, 0x00BA, 0x00BB, 0x00BC, 0x00BD, 0x00BE, 0x00BF, 0x00C0,
    0x00C1, 0x00C2, 0x00C3, 0x00C4, 0x00C5, 0x00C6, 0x00C7, 0x00C8, 0x00C9, 0x00CA, 0x00CB, 0x00CC, 0x00CD,
    0x00CE, 0x00CF, 0x00D0, 0x00D1, 0x00D2, 0x00D3, 0x00D4, 0x00D5, 0x00D6, 0x00D7, 0x00D8, 0x00D9, 0x00DA,
    0x00DB, 0x00DC, 0x00DD, 0x00DE, 0x00DF, 0x00E0, 0x00E1, 0x00E2, 0x00E3, 0x00E4, 0x00E5, 0x00E6, 0x00E7,
    0x00E8, 0x00E9, 0x00EA, 0x00EB, 0x00EC, 0x00ED, 0x00EE, 0x00EF, 0x00F0, 0x00F1, 0x00F2, 0x00F3, 0x00F4,
    0x00F5, 0x00F6, 0x00F7, 0x00F8, 0x00F9, 0x00FA, 0x00FB, 0x00FC, 0x00FD, 0x00FE, 0x00FF,
};

constexpr HighHalf latin1() {
    HighHalf t{};
    for (std::uint16_t i = 0; i < 128; ++i) t[i] = static_cast<std::uint16_t>(0x80 + i);
    return t;
}
constexpr HighHalf kIso8859_1 = latin1();

constexpr HighHalf iso8859_15() {
    HighHalf t = latin1();
    t[0xA4 - 0x80] = 0x20AC;
    t[0xA6 - 0x80] = 0x0160;
    t[0xA8 - 0x80] = 0x0161;
    t[0xB4 - 0x80] = 0x017D;
    t[0xB8 - 0x80] = 0x017E;
    t[0xBC - 0x80] = 0x0152;
    t[0xBD - 0x80] = 0x0153;
    t[0xBE - 0x80] = 0x0178;
    return t;
}
constexpr HighHalf kIso8859_15 = iso8859_15();

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The label in lower case without blanks, quotes, '-' and '_', so "ISO_8859-2" and "iso-8859-2" agree.
std::string normalised(std::string_view label) {
    std::string out;
    for (char c : label)
        if (c != '-' && c != '_' && c != ' ' && c != '\t' && c != '"' && c != '\'') out.push_back(lower(c));
    return out;
}

const HighHalf* tableFor(std::string_view label) {
    const std::string n = normalised(label);
    if (n == "iso88592" || n == "latin2" || n == "l2" || n == "iso885921987" || n == "csisolatin2") return &kIso8859_2;
    if (n == "windows1250" || n == "cp1250" || n == "xcp1250") return &kWindows1250;
    if (n == "iso88591" || n == "latin1" || n == "l1" || n == "iso885911987" || n == "csisolatin1") return &kIso8859_1;
    if (n == "windows1252" || n == "cp1252" || n == "xcp1252") return &kWindows1252;
    if (n == "iso885915" || n == "latin9") return &kIso8859_15;
    return nullptr;
}

void appendUtf8(std::string& out, std::uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// The next code point of UTF-8 text at `at` (advanced past it); U+FFFD for a broken sequence (one byte).
std::uint32_t nextCodePoint(std::string_view s, std::size_t& at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b = byte(at);
    std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || at + length > s.size()) {
        ++at;
        return kUndefined;
    }
    std::uint32_t cp = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(at + k) & 0xC0) != 0x80) {
            ++at;
            return kUndefined;
        }
        cp = (cp << 6) | (byte(at + k) & 0x3F);
    }
    at += length;
    return cp;
}

bool isValidUtf8(std::string_view s) {
    for (std::size_t at = 0; at < s.size();) {
        if (static_cast<unsigned char>(s[at]) < 0x80) {
            ++at;
            continue;
        }
        const std::size_t before = at;
        if (nextCodePoint(s, at) == kUndefined && at == before + 1) return false;
    }
    return true;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Where the value of the declaration's encoding pseudo-attribute lies (without quotes), or nothing.
struct DeclaredValue {
    std::size_t start = 0;
    std::size_t length = 0;
};

std::optional<DeclaredValue> declaredEncodingAt(std::string_view xml) {
    if (xml.substr(0, 5) != "<?xml" || xml.size() < 6 || !isBlank(xml[5])) return std::nullopt;
    const std::size_t end = xml.find("?>");
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view declaration = xml.substr(0, end);
    const std::size_t key = declaration.find("encoding");
    if (key == std::string_view::npos) return std::nullopt;
    std::size_t i = key + 8;
    while (i < declaration.size() && isBlank(declaration[i])) ++i;
    if (i >= declaration.size() || declaration[i] != '=') return std::nullopt;
    ++i;
    while (i < declaration.size() && isBlank(declaration[i])) ++i;
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return std::nullopt;
    const std::size_t close = declaration.find(declaration[i], i + 1);
    if (close == std::string_view::npos) return std::nullopt;
    return DeclaredValue{i + 1, close - i - 1};
}

}  // namespace

std::string declaredXmlEncoding(std::string_view xml) {
    const std::optional<DeclaredValue> at = declaredEncodingAt(xml);
    return at ? std::string(xml.substr(at->start, at->length)) : std::string();
}

std::string charsetOfContentType(std::string_view contentType) {
    std::string lowered;
    for (char c : contentType) lowered.push_back(lower(c));
    const std::size_t at = lowered.find("charset=");
    if (at == std::string::npos) return {};
    std::size_t start = at + 8;
    std::size_t end = start;
    while (end < contentType.size() && contentType[end] != ';' && !isBlank(contentType[end])) ++end;
    std::string value(contentType.substr(start, end - start));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'')) value = value.substr(1, value.size() - 2);
    return value;
}

bool isUtf8Label(std::string_view label) {
    const std::string n = normalised(label);
    return n == "utf8" || n == "usascii" || n == "ascii";
}

bool isKnownSingleByteLabel(std::string_view label) { return tableFor(label) != nullptr; }

std::optional<std::string> singleByteToUtf8(std::string_view bytes, std::string_view label) {
    const HighHalf* table = tableFor(label);
    if (table == nullptr) return std::nullopt;
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) out.push_back(c);
        else appendUtf8(out, (*table)[b - 0x80]);
    }
    return out;
}

std::optional<std::string> utf8ToSingleByte(std::string_view utf8, std::string_view label) {
    const HighHalf* table = tableFor(label);
    if (table == nullptr) return std::nullopt;
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
        const std::uint32_t cp = nextCodePoint(utf8, at);
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
            continue;
        }
        char byte = '?';
        for (std::size_t i = 0; i < table->size(); ++i)
            if ((*table)[i] == cp && cp != kUndefined) byte = static_cast<char>(0x80 + i);
        out.push_back(byte);
    }
    return out;
}

bool convertXmlToUtf8(std::string& xml, std::string_view httpCharset) {
    // A UTF-8 byte order mark settles it whatever a declaration says.
    if (xml.compare(0, 3, "\xEF\xBB\xBF") == 0) return false;
    const std::optional<DeclaredValue> declared = declaredEncodingAt(xml);
    std::string label = declared ? xml.substr(declared->start, declared->length) : std::string();
    // Without a declared encoding the HTTP charset speaks, but only for text that cannot be UTF-8: servers
    // often name a default charset for what they actually send as UTF-8.
    if (label.empty() && !httpCharset.empty() && !isUtf8Label(httpCharset) && !isValidUtf8(xml))
        label = std::string(httpCharset);
    if (label.empty() || isUtf8Label(label)) return false;
    std::optional<std::string> text = singleByteToUtf8(xml, label);
    if (!text) return false;
    // The declaration lies in the ASCII part, so its offsets are the same in the converted text.
    if (declared) text->replace(declared->start, declared->length, "UTF-8");
    xml = std::move(*text);
    return true;
}

}  // namespace gml
