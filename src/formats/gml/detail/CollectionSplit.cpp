#include "formats/gml/detail/CollectionSplit.h"

#include <string.h>
#include <strings.h>

namespace gml::detail {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Name characters as the XML reader takes them; anything else in a tag name makes the document unusual.
bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':' ||
           c == '-' || c == '.' || static_cast<unsigned char>(c) >= 0x80;
}

bool startsWith(std::string_view text, std::size_t at, std::string_view prefix) {
    return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) ++at;
    return at;
}

// Past the comment starting at `at` ("<!--"), or npos when it does not end.
std::size_t skipComment(std::string_view text, std::size_t at) {
    const std::size_t end = text.find("-->", at + 4);
    return end == std::string_view::npos ? end : end + 3;
}

// The end of the start tag at `at` ('<' then a name): the offset just past its '>', or npos.
// Quoted attribute values may hold '>'.
std::size_t startTagEnd(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"' || c == '\'') {
            const std::size_t close = text.find(c, i + 1);
            if (close == std::string_view::npos) return close;
            i = close;
        } else if (c == '>') {
            return i + 1;
        } else if (c == '<') {
            return std::string_view::npos;
        }
    }
    return std::string_view::npos;
}

std::size_t nameEnd(std::string_view text, std::size_t at) {
    while (at < text.size() && isNameChar(text[at])) ++at;
    return at;
}

// Just past the first "</name>" (blanks allowed before '>') from `from`, or npos.
std::size_t endTagEnd(std::string_view text, std::size_t from, std::string_view name) {
    const char* base = text.data();
    std::size_t at = from;
    while (at < text.size()) {
        const void* hit = memmem(base + at, text.size() - at, name.data(), name.size());
        if (!hit) return std::string_view::npos;
        const std::size_t nameAt = static_cast<std::size_t>(static_cast<const char*>(hit) - base);
        at = nameAt + name.size();
        if (nameAt < 2 || base[nameAt - 1] != '/' || base[nameAt - 2] != '<') continue;
        const std::size_t close = skipBlanks(text, at);
        if (close < text.size() && text[close] == '>') return close + 1;
    }
    return std::string_view::npos;
}

// Whether [start, stop) is a plain tag name: not empty, not starting like a number, followed by what may
// follow a name in a start tag.
bool nameEndsTag(std::string_view text, std::size_t start, std::size_t stop) {
    if (stop == start || stop >= text.size()) return false;
    const char first = text[start];
    if (first == '-' || first == '.' || (first >= '0' && first <= '9')) return false;
    return isBlank(text[stop]) || text[stop] == '/' || text[stop] == '>';
}

// The declaration, if any, must not name an encoding other than UTF-8: the reader would convert the text.
bool declarationIsUtf8(std::string_view declaration) {
    const std::size_t at = declaration.find("encoding");
    if (at == std::string_view::npos) return true;
    std::size_t i = skipBlanks(declaration, at + 8);
    if (i >= declaration.size() || declaration[i] != '=') return false;
    i = skipBlanks(declaration, i + 1);
    if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) return false;
    const std::size_t close = declaration.find(declaration[i], i + 1);
    if (close == std::string_view::npos) return false;
    const std::string_view value = declaration.substr(i + 1, close - i - 1);
    return value.size() == 5 && strncasecmp(value.data(), "utf-8", 5) == 0;
}

}  // namespace

bool readAsUtf8(std::string_view gml) {
    if (gml.empty()) return true;
    // Byte order marks of UTF-16 and UTF-32, and their forms without one.
    const auto first = static_cast<unsigned char>(gml[0]);
    if (first == 0x00 || first == 0xFE || first == 0xFF || (gml.size() > 1 && first == '<' && gml[1] == '\0'))
        return false;
    if (!startsWith(gml, 0, "<?xml")) return true;
    const std::size_t end = gml.find("?>", 5);
    return end == std::string_view::npos || declarationIsUtf8(gml.substr(0, end));
}

std::optional<CollectionParts> splitCollection(std::string_view gml) {
    std::size_t at = 0;
    if (!readAsUtf8(gml)) return std::nullopt;
    if (startsWith(gml, 0, "<?xml") && gml.size() > 5 && isBlank(gml[5])) {
        const std::size_t end = gml.find("?>", 5);
        if (end == std::string_view::npos) return std::nullopt;
        at = end + 2;
    }
    for (;;) {
        at = skipBlanks(gml, at);
        if (!startsWith(gml, at, "<!--")) break;
        if ((at = skipComment(gml, at)) == std::string_view::npos) return std::nullopt;
    }
    CollectionParts parts;
    if (at >= gml.size() || gml[at] != '<') return std::nullopt;
    std::size_t nameStop = nameEnd(gml, at + 1);
    if (!nameEndsTag(gml, at + 1, nameStop)) return std::nullopt;
    parts.rootName = gml.substr(at + 1, nameStop - at - 1);
    std::size_t tagEnd = startTagEnd(gml, at);
    if (tagEnd == std::string_view::npos || gml[tagEnd - 2] == '/') return std::nullopt;
    parts.rootTag = gml.substr(at, tagEnd - at);
    at = tagEnd;
    for (;;) {
        at = skipBlanks(gml, at);
        if (at >= gml.size() || gml[at] != '<') return std::nullopt;
        if (startsWith(gml, at, "<!--")) {
            if ((at = skipComment(gml, at)) == std::string_view::npos) return std::nullopt;
            continue;
        }
        if (at + 1 == gml.size()) return std::nullopt;
        if (gml[at + 1] == '/') {
            if (gml.compare(at + 2, parts.rootName.size(), parts.rootName) != 0) return std::nullopt;
            at = skipBlanks(gml, at + 2 + parts.rootName.size());
            if (at >= gml.size() || gml[at] != '>') return std::nullopt;
            return skipBlanks(gml, at + 1) == gml.size() ? std::optional(std::move(parts)) : std::nullopt;
        }
        nameStop = nameEnd(gml, at + 1);
        if (!nameEndsTag(gml, at + 1, nameStop)) return std::nullopt;
        const std::string_view name = gml.substr(at + 1, nameStop - at - 1);
        tagEnd = startTagEnd(gml, at);
        if (tagEnd == std::string_view::npos) return std::nullopt;
        const std::size_t end = gml[tagEnd - 2] == '/' ? tagEnd : endTagEnd(gml, tagEnd, name);
        if (end == std::string_view::npos) return std::nullopt;
        parts.children.push_back(gml.substr(at, end - at));
        at = end;
    }
}

}  // namespace gml::detail
