#include "net/OverpassClient.h"

#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <string_view>

#include "geodesy/Crs.h"
#include "net/AnswerCheck.h"
#include "net/ServiceEndpoints.h"
#include "net/UrlText.h"
#include "net/WfsClient.h"
#include "platform/Numbers.h"

namespace net {

namespace {

// The number at the start of a tag value; reading stops at the first character that is not part of it.
template <typename T>
bool leadingNumber(const std::string& text, T& value) {
    if (text.empty()) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end != text.data();
}

std::string tag(const nlohmann::json& tags, const char* key) {
    const auto it = tags.find(key);
    return it != tags.end() && it->is_string() ? it->get<std::string>() : std::string();
}

constexpr const char* kNotRead = " - mosty i drogi nie wczytane.";

// A server's own words for a note: printable ASCII only (pages may carry broken UTF-8), blanks folded, at most
// 160 characters.
std::string serverWords(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (blank && !out.empty() && out.back() != ' ') out += ' ';
        if (!blank && c >= 0x21 && c <= 0x7E) out += c;
    }
    while (!out.empty() && out.back() == ' ') out.pop_back();
    if (out.size() > 160) out = out.substr(0, 157) + "...";
    return out;
}

// The note for an HTML page served in place of the answer: the rate limit and an overloaded server have notes of
// their own, any other page names the error it shows.
std::string htmlPageNote(const std::string& body) {
    if (body.find("rate_limited") != std::string::npos)
        return "OSM (Overpass): przekroczony limit zapytan do uslugi - sprobuj ponownie za kilka minut.";
    if (body.find("request_read_and_idx::timeout") != std::string::npos || body.find("too busy") != std::string::npos)
        return "OSM (Overpass): usluga przeciazona - sprobuj ponownie pozniej.";
    std::string reason;
    if (const auto at = body.find("Error</strong>:"); at != std::string::npos) {
        const auto from = at + 15, end = body.find("</p>", from);
        reason = serverWords(std::string_view(body).substr(from, end == std::string::npos ? 400 : end - from));
    }
    return "OSM (Overpass): usluga zwrocila strone HTML zamiast danych" + (reason.empty() ? "" : " (" + reason + ")") +
           kNotRead;
}

}  // namespace

std::string overpassQuery(const std::string& box, bool bridges, bool roads) {
    std::string q = "[out:json][timeout:25];(";
    if (bridges) q += "way[\"bridge\"~\"^(yes|viaduct)$\"](" + box + ");";
    if (roads)
        q += "way[\"highway\"~\"^(motorway|trunk|primary|secondary|tertiary|residential|unclassified|living_street)$\"]"
             "(" +
             box + ");";
    return q + ");out geom;";
}

double osmWayWidth(const std::string& width, const std::string& lanes, const std::string& kind, bool bridge) {
    double w = 0.0;
    if (leadingNumber(width, w) && w > 0.5 && w < 60.0) return w;
    long long n = 0;
    if (leadingNumber(lanes, n) && n >= 1 && n <= 12) return static_cast<double>(n) * 3.5 + 1.0;
    static const std::pair<const char*, double> byKind[] = {
        {"motorway", 14},   {"trunk", 14},       {"primary", 10},      {"secondary", 8},  {"tertiary", 7},
        {"residential", 6}, {"unclassified", 6}, {"living_street", 6}, {"tram", 3},       {"rail", 3},
        {"cycleway", 2.5},  {"path", 2.5},       {"footway", 2},       {"pedestrian", 2}, {"steps", 2},
    };
    for (const auto& [k, value] : byKind)
        if (kind == k) return value;
    return bridge ? 6.0 : 5.0;
}

std::vector<OsmWay> parseOverpassWays(const std::string& body, std::string& error) {
    std::vector<OsmWay> ways;
    if (isHtmlPage(body)) {
        error = htmlPageNote(body);
        return ways;
    }
    const nlohmann::json doc = nlohmann::json::parse(body, nullptr, false);
    if (!doc.is_object() || !doc.contains("elements") || !doc["elements"].is_array()) {
        const auto start = body.find_first_not_of(" \t\r\n\xEF\xBB\xBF");
        const bool jsonLike = start != std::string::npos && (body[start] == '{' || body[start] == '[');
        if (jsonLike || start == std::string::npos)
            error = std::string("OSM (Overpass): odpowiedz uszkodzona lub niepelna (bledny JSON)") + kNotRead;
        else
            error = "OSM (Overpass): nieczytelna odpowiedz uslugi (" + serverWords(body.substr(start, 400)) + ")" +
                    kNotRead;
        return ways;
    }
    // The server ran out of time or memory: what came may be only part of the frame's ways.
    if (const auto remark = doc.find("remark"); remark != doc.end() && remark->is_string()) {
        const std::string text = remark->get<std::string>();
        if (text.find("runtime error") != std::string::npos) {
            error = "OSM (Overpass): usluga przerwala zapytanie (" + serverWords(text) +
                    ") - mosty i drogi nie wczytane; sprobuj ponownie lub zmniejsz kadr.";
            return ways;
        }
    }
    static const nlohmann::json noTags = nlohmann::json::object();
    for (const nlohmann::json& element : doc["elements"]) {
        if (!element.is_object() || element.value("type", std::string()) != "way") continue;
        const auto tagsIt = element.find("tags");
        const nlohmann::json& tags = tagsIt != element.end() && tagsIt->is_object() ? *tagsIt : noTags;
        OsmWay way;
        way.kind = tag(tags, "highway");
        if (way.kind.empty()) way.kind = tag(tags, "railway");
        const std::string bridge = tag(tags, "bridge");
        way.bridge = bridge == "yes" || bridge == "viaduct";
        way.name = tag(tags, "name");
        way.width = osmWayWidth(tag(tags, "width"), tag(tags, "lanes"), way.kind, way.bridge);
        const auto geometry = element.find("geometry");
        if (geometry != element.end() && geometry->is_array()) {
            for (const nlohmann::json& node : *geometry) {
                if (!node.is_object() || !node.contains("lat") || !node.contains("lon")) continue;
                if (!node["lat"].is_number() || !node["lon"].is_number()) continue;
                way.points.push_back(geodesy::wgs84ToPl1992(node["lat"].get<double>(), node["lon"].get<double>()));
            }
        }
        if (way.points.size() >= 2) ways.push_back(std::move(way));
    }
    return ways;
}

std::vector<OsmWay> queryOsmWays(WfsClient& client, const geodesy::Bbox& frame, bool bridges, bool roads,
                                 std::string& error) {
    if (!bridges && !roads) return {};
    if (frame.width() * frame.height() > kOverpassMaxArea) {
        error = "Mosty/drogi (OSM): kadr za duzy \xE2\x80\x94 przybliz mape (max ok. 5x5 km).";
        return {};
    }
    double south = 90, west = 180, north = -90, east = -180;
    for (const geodesy::PlanarPoint& corner : {geodesy::PlanarPoint{frame.minE, frame.minN},
                                               {frame.maxE, frame.minN},
                                               {frame.maxE, frame.maxN},
                                               {frame.minE, frame.maxN}}) {
        const geodesy::LatLon ll = geodesy::pl1992ToWgs84(corner);
        south = std::min(south, ll.lat);
        north = std::max(north, ll.lat);
        west = std::min(west, ll.lon);
        east = std::max(east, ll.lon);
    }
    const std::string box = platform::cformat("%.6f,%.6f,%.6f,%.6f", south, west, north, east);
    const HttpResponse answer =
        client.get(serviceEndpoints().overpassInterpreter() + "?data=" + urlEncode(overpassQuery(box, bridges, roads)));
    if (answer.status != 200) {
        error = "OSM (Overpass): usluga nie odpowiada (status " + platform::cformat("%d", answer.status) + ").";
        return {};
    }
    if (!answer.error.empty()) {
        error = std::string("OSM (Overpass): odpowiedz przerwana w trakcie pobierania") + kNotRead;
        return {};
    }
    return parseOverpassWays(answer.body, error);
}

}  // namespace net
