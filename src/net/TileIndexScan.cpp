// Index answers are scanned as text: the members are flat and only four of their elements matter.
#include <algorithm>
#include <cmath>
#include <vector>

#include "geodesy/Epsg.h"
#include "net/TileIndex.h"
#include "net/detail/XmlEntities.h"
#include "platform/Numbers.h"

namespace net {

namespace {

constexpr std::string_view kUrlTag = "gugik:url_do_pobrania>";

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

// Position of an opening tag "<gugik:NAME>" (the part after '<') at or after `from`, before `limit`.
std::size_t findOpeningTag(std::string_view body, std::string_view tag, std::size_t from, std::size_t limit) {
    for (std::size_t at = body.find(tag, from); at != std::string_view::npos && at < limit;
         at = body.find(tag, at + 1)) {
        // A closing tag ends with the same text; only an opening one starts an element.
        if (at > 0 && body[at - 1] == '<') return at;
    }
    return std::string_view::npos;
}

// Start of the member holding `at`: the last member element before it, or the body's start.
std::size_t memberStart(std::string_view body, std::size_t at) {
    const std::size_t wfs = body.rfind("<wfs:member", at);
    const std::size_t gml = body.rfind("<gml:featureMember", at);
    std::size_t start = 0;
    if (wfs != std::string_view::npos) start = wfs;
    if (gml != std::string_view::npos) start = std::max(start, gml);
    return start;
}

// End of the member holding `at`: the next member element after it, or the body's end.
std::size_t memberEnd(std::string_view body, std::size_t at) {
    return std::min({body.find("<wfs:member", at), body.find("<gml:featureMember", at), body.size()});
}

struct ScannedMember {
    std::string godlo;
    std::string url;
    std::size_t start = 0;
    std::size_t end = 0;
};

// Every member with a usable download address, in answer order.
template <typename Visit>
void scanMembers(std::string_view body, Visit visit) {
    std::size_t cursor = 0;
    for (;;) {
        const std::size_t at = findOpeningTag(body, kUrlTag, cursor, body.size());
        if (at == std::string_view::npos) return;
        cursor = at + kUrlTag.size();
        ScannedMember member;
        member.start = memberStart(body, at);
        member.end = memberEnd(body, at);
        member.url = indexElementText(body, "url_do_pobrania", at - 1, member.end);
        if (member.url.rfind("http", 0) != 0) continue;
        member.godlo = indexElementText(body, "godlo", member.start, member.end);
        visit(member);
    }
}

// The envelope of the first coordinate list of a member (its sheet polygon) in PL-1992 (easting, northing); all
// zero when there is none. The list follows its srsName's axis order: an EPSG URN or URI of PL-1992 names the
// northing first, as the national index writes it; a plain "EPSG:2180" the easting.
geodesy::Bbox memberOutline(std::string_view body, std::size_t start, std::size_t end) {
    const std::size_t list = body.find("<gml:posList", start);
    if (list == std::string_view::npos || list >= end) return {};
    const std::size_t open = body.find('>', list);
    const std::size_t close = body.find("</gml:posList>", list);
    if (open == std::string_view::npos || close == std::string_view::npos || close > end || open > close) return {};
    const std::size_t srs = body.rfind("srsName=\"", list);
    const std::string_view srsText =
        srs != std::string_view::npos && srs >= start ? body.substr(srs, body.find('"', srs + 9) - srs) : "";
    const bool northingFirst =
        srsText.find("urn:") != std::string_view::npos || srsText.find("opengis.net/def/crs") != std::string_view::npos;
    const bool plain = srsText.find("2180") != std::string_view::npos || srsText.empty();
    if (!plain) return {};  // another system: better no extent than a wrong one
    if (body.substr(list, open - list).find("srsDimension=\"3\"") != std::string_view::npos) return {};
    std::string_view rest = body.substr(open + 1, close - open - 1);
    std::vector<double> values;
    while (!rest.empty()) {
        while (!rest.empty() && isBlank(rest.front())) rest.remove_prefix(1);
        std::size_t n = 0;
        while (n < rest.size() && !isBlank(rest[n])) ++n;
        double v = 0.0;
        if (n > 0 && platform::parseDouble(rest.substr(0, n), v) && std::isfinite(v)) values.push_back(v);
        else if (n > 0) return {};
        rest.remove_prefix(n);
    }
    if (values.size() < 6 || values.size() % 2 != 0) return {};
    geodesy::Bbox box{values[0], values[1], values[0], values[1]};
    for (std::size_t i = 0; i + 1 < values.size(); i += 2) {
        box.minE = std::min(box.minE, values[i]), box.maxE = std::max(box.maxE, values[i]);
        box.minN = std::min(box.minN, values[i + 1]), box.maxN = std::max(box.maxN, values[i + 1]);
    }
    if (northingFirst) box = {box.minN, box.minE, box.maxN, box.maxE};
    return box;
}

}  // namespace

std::string indexElementText(std::string_view body, std::string_view name, std::size_t from, std::size_t limit) {
    const std::string tag = "gugik:" + std::string(name) + ">";
    limit = std::min(limit, body.size());
    const std::size_t open = findOpeningTag(body, tag, from, limit);
    if (open == std::string_view::npos) return {};
    const std::size_t textStart = open + tag.size();
    const std::size_t close = body.find("</gugik:", textStart);
    if (close == std::string_view::npos || close > limit) return {};
    return detail::decodeXmlEntities(trimmed(body.substr(textStart, close - textStart)));
}

int decodeUkladXy(std::string_view text) {
    if (text.find("PL-1992") != std::string_view::npos) return geodesy::kEpsgPl1992;
    if (text.find("PL-2000") == std::string_view::npos) return 0;
    const std::size_t s = text.find('S');
    if (s == std::string_view::npos || s + 1 >= text.size()) return 0;
    const char zone = text[s + 1];
    return zone >= '5' && zone <= '8' ? geodesy::kEpsgPl2000Zone5 + (zone - '5') : 0;
}

double decodeDensity(std::string_view text) {
    text = trimmed(text);
    // The number at the start, as strtod would take it: "12 p/m2", "4.5pkt/m2", "12".
    const auto digitsFrom = [&text](std::size_t at) {
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
        return at;
    };
    std::size_t end = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
    end = digitsFrom(end);
    if (end < text.size() && text[end] == '.') end = digitsFrom(end + 1);
    if (end < text.size() && (text[end] == 'e' || text[end] == 'E')) {
        std::size_t exponent = end + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) ++exponent;
        const std::size_t digitsEnd = digitsFrom(exponent);
        if (digitsEnd > exponent) end = digitsEnd;
    }
    double value = 0.0;
    if (!platform::parseDouble(text.substr(0, end), value) || !std::isfinite(value)) return 0.0;
    return value;
}

std::vector<ElevationTile> scanElevationIndex(std::string_view body) {
    std::vector<ElevationTile> tiles;
    scanMembers(body, [&tiles](ScannedMember& m) { tiles.push_back({std::move(m.godlo), std::move(m.url)}); });
    return tiles;
}

std::vector<LidarTile> scanLidarIndex(std::string_view body) {
    std::vector<LidarTile> tiles;
    scanMembers(body, [&tiles, body](ScannedMember& m) {
        LidarTile tile{std::move(m.godlo), std::move(m.url), 0.0, 0, {}};
        tile.density = decodeDensity(indexElementText(body, "char_przestrz", m.start, m.end));
        tile.epsg = decodeUkladXy(indexElementText(body, "uklad_xy", m.start, m.end));
        tile.outline = memberOutline(body, m.start, m.end);
        tiles.push_back(std::move(tile));
    });
    return tiles;
}

}  // namespace net
