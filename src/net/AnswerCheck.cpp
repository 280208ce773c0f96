#include "net/AnswerCheck.h"

#include <array>
#include <cstdint>
#include <string>

#include "net/DownloadCache.h"

namespace net {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (lower(text[i]) != prefix[i]) return false;
    return true;
}

std::string_view trimmed(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (isBlank(text.back()) || text.back() == '\0')) text.remove_suffix(1);
    return text;
}

// The text from the root element's start tag on: declarations, comments and a DOCTYPE skipped.
std::string_view fromRootElement(std::string_view text) {
    for (;;) {
        while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
        std::size_t end = std::string_view::npos;
        if (text.substr(0, 2) == "<?") {
            end = text.find("?>");
            if (end != std::string_view::npos) end += 2;
        } else if (text.substr(0, 4) == "<!--") {
            end = text.find("-->");
            if (end != std::string_view::npos) end += 3;
        } else if (text.substr(0, 2) == "<!") {
            end = text.find('>');
            if (end != std::string_view::npos) end += 1;
        } else {
            return text;
        }
        if (end == std::string_view::npos) return {};
        text.remove_prefix(end);
    }
}

bool isWholeFeatureCollection(std::string_view text) {
    const std::string_view root = fromRootElement(text);
    if (root.size() < 2 || root[0] != '<') return false;
    const std::size_t nameEnd = root.find_first_of(" \t\r\n/>", 1);
    if (nameEnd == std::string_view::npos) return false;
    const std::string_view name = root.substr(1, nameEnd - 1);
    const std::string_view local = name.substr(name.rfind(':') == std::string_view::npos ? 0 : name.rfind(':') + 1);
    if (local.size() < 17 || local.substr(local.size() - 17) != "FeatureCollection") return false;
    // A self-closed root (an empty collection) is whole when nothing follows it.
    const std::size_t startEnd = root.find('>');
    if (startEnd == std::string_view::npos) return false;
    if (root[startEnd - 1] == '/' && startEnd + 1 == root.size()) return true;
    std::string_view tail = root;
    if (tail.empty() || tail.back() != '>') return false;
    tail.remove_suffix(1);
    while (!tail.empty() && isBlank(tail.back())) tail.remove_suffix(1);
    if (tail.size() < name.size() + 2 || tail.substr(tail.size() - name.size()) != name) return false;
    return tail.substr(tail.size() - name.size() - 2, 2) == "</";
}

bool isGridHeader(std::string_view text) {
    for (std::string_view key :
         {"ncols", "nrows", "xllcorner", "xllcenter", "yllcorner", "yllcenter", "cellsize", "nodata_value"})
        if (startsWithNoCase(text, key) && text.size() > key.size() && isBlank(text[key.size()])) return true;
    return false;
}

std::uint32_t crc32(const unsigned char* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFFu] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::uint32_t bigEndian32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

bool isCompletePng(std::string_view body) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(body.data());
    static constexpr unsigned char kSignature[8] = {137, 'P', 'N', 'G', 13, 10, 26, 10};
    if (body.size() < 8 ||
        std::string_view(body.data(), 8) != std::string_view(reinterpret_cast<const char*>(kSignature), 8))
        return false;
    std::size_t at = 8;
    bool sawHeader = false, sawData = false;
    while (body.size() - at >= 12) {
        const std::uint32_t length = bigEndian32(bytes + at);
        if (length > body.size() - at - 12) return false;
        const std::string_view type(body.data() + at + 4, 4);
        if (crc32(bytes + at + 4, length + 4) != bigEndian32(bytes + at + 8 + length)) return false;
        if (!sawHeader && type != "IHDR") return false;
        sawHeader = true;
        if (type == "IDAT") sawData = true;
        if (type == "IEND") return sawData;
        at += 12 + length;
    }
    return false;
}

bool isCompleteJpeg(std::string_view body) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(body[i]); };
    if (body.size() < 4 || byte(0) != 0xFF || byte(1) != 0xD8) return false;
    // Some encoders pad after the end marker; it must still be there near the end.
    std::size_t end = body.size();
    while (end > 2 && body.size() - end < 64 && byte(end - 1) != 0xD9) --end;
    return end > 2 && byte(end - 1) == 0xD9 && byte(end - 2) == 0xFF;
}

}  // namespace

bool isHtmlPage(std::string_view body) {
    body = body.substr(0, 4096);
    if (body.substr(0, 3) == "\xEF\xBB\xBF") body.remove_prefix(3);
    if (startsWithNoCase(trimmed(body), "<!doctype html")) return true;
    const std::string_view text = fromRootElement(body);
    return startsWithNoCase(text, "<html") || startsWithNoCase(text, "<head") || startsWithNoCase(text, "<body");
}

bool isCompleteImage(std::string_view body) { return isCompletePng(body) || isCompleteJpeg(body); }

bool isAnswerOfKind(std::string_view body, AnswerKind kind) {
    if (body.empty()) return false;
    if (kind == AnswerKind::image) return isCompleteImage(body);
    if (kind == AnswerKind::lasFile) return body.substr(0, 4) == "LASF";
    if (isHtmlPage(body) || isOgcExceptionDocument(std::string(body.substr(0, 8192)))) return false;
    const std::string_view text = trimmed(body);
    switch (kind) {
        case AnswerKind::xml: return !text.empty() && text.front() == '<';
        case AnswerKind::featureCollection: return isWholeFeatureCollection(text);
        case AnswerKind::gridText: return isGridHeader(text);
        case AnswerKind::json: return !text.empty() && (text.front() == '{' || text.front() == '[');
        default: return !text.empty();
    }
}

}  // namespace net
