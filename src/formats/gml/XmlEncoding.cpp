#include "formats/gml/XmlEncoding.h"

#include <cstdint>

#include "platform/CodePages.h"

namespace gml {

namespace {

using HighHalf = platform::CodePageHigh;

constexpr std::uint16_t kUndefined = platform::kUndefinedCodePoint;

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string normalised(std::string_view label) { return platform::normalisedEncodingLabel(label); }

const HighHalf* tableFor(std::string_view label) { return platform::codePageFor(label); }

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
