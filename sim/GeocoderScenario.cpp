// The address geocoders: a search service of the Nominatim kind ("/search", JSON array, coordinates as text)
// and a suggestion service of the Photon kind ("/api/", GeoJSON features with address properties).
// Both find places of a small gazetteer whose every word of the query starts a word of the place.
#include <cctype>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Scenarios.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

namespace sim {

namespace {

struct Place {
    const char* name;  // "" when the place is only an address
    const char* street;
    const char* housenumber;
    const char* postcode;
    const char* city;
    const char* county;
    const char* state;
    double lat;
    double lon;
    const char* osmType;  // "N", "W", "R"
    long long osmId;
    const char* osmKey;
    const char* osmValue;
};

const Place kPlaces[] = {
    {"Wydział Elektroniki i Technik Informacyjnych", "Nowowiejska", "15/19", "00-665", "Warszawa", "",
     "województwo mazowieckie", 52.2189474, 21.0121468, "W", 23485444, "building", "university"},
    {"Sukiennice", "Rynek Główny", "1/3", "31-042", "Kraków", "", "województwo małopolskie", 50.0616480, 19.9373550,
     "W", 27466209, "tourism", "attraction"},
    {"Połczyn-Zdrój", "", "", "78-320", "", "powiat świdwiński", "województwo zachodniopomorskie", 53.7636000,
     16.0961000, "N", 31214389, "place", "town"},
    {"", "Kołobrzeska", "", "78-320", "Połczyn-Zdrój", "powiat świdwiński", "województwo zachodniopomorskie",
     53.7660120, 16.0890350, "W", 155331907, "highway", "residential"},
    {"", "", "12", "32-720", "Nowy Wiśnicz", "powiat bocheński", "województwo małopolskie", 49.9167230, 20.4667810, "N",
     4417788301, "place", "house"},
    {"", "", "", "32-720", "Nowy Wiśnicz", "powiat bocheński", "województwo małopolskie", 49.9158000, 20.4659000, "R",
     1764513, "place", "postcode"},
    {"Brzeszcze", "", "", "32-620", "", "powiat oświęcimski", "województwo małopolskie", 49.9833000, 19.1500000, "N",
     31597062, "place", "town"},
};

std::string lowerAscii(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<std::string> words(const std::string& text) {
    std::vector<std::string> out;
    std::string word;
    for (char c : lowerAscii(text)) {
        if (c == ' ' || c == ',' || c == '-' || c == '/') {
            if (!word.empty()) out.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty()) out.push_back(word);
    return out;
}

// Every word of the query starts some word of the place.
bool matches(const Place& place, const std::string& query) {
    const std::vector<std::string> wanted = words(query);
    if (wanted.empty()) return false;
    const std::vector<std::string> own = words(std::string(place.name) + " " + place.street + " " + place.housenumber +
                                               " " + place.postcode + " " + place.city + " " + place.county);
    for (const std::string& w : wanted) {
        bool found = false;
        for (const std::string& o : own)
            if (o.compare(0, w.size(), w) == 0) found = true;
        if (!found) return false;
    }
    return true;
}

std::string displayName(const Place& p) {
    std::string out;
    for (const char* part : {p.name, p.housenumber, p.street, p.city, p.county, p.state, p.postcode, "Polska"}) {
        if (*part == '\0') continue;
        if (!out.empty()) out += ", ";
        out += part;
    }
    return out;
}

int limitOf(const SimRequest& request, int fallback) {
    long long value = 0;
    if (!platform::parseInt(request.param("limit"), value) || value < 1) return fallback;
    return value > 50 ? 50 : static_cast<int>(value);
}

void jsonAnswer(SimResponse& response, const nlohmann::json& body) {
    response.status = 200;
    response.contentType = "application/json; charset=utf-8";
    response.body = body.dump();
}

nlohmann::json searchAnswer(const std::string& query, int limit) {
    nlohmann::json results = nlohmann::json::array();
    int placeId = 79702876;
    for (const Place& p : kPlaces) {
        if (static_cast<int>(results.size()) >= limit) break;
        ++placeId;
        if (!matches(p, query)) continue;
        const std::string osmType = p.osmType[0] == 'N' ? "node" : p.osmType[0] == 'W' ? "way" : "relation";
        results.push_back(
            nlohmann::json{{"place_id", placeId},
                           {"licence", "Data © OpenStreetMap contributors, ODbL 1.0. http://osm.org/copyright"},
                           {"osm_type", osmType},
                           {"osm_id", p.osmId},
                           {"lat", platform::cformat("%.7f", p.lat)},
                           {"lon", platform::cformat("%.7f", p.lon)},
                           {"class", p.osmKey},
                           {"type", p.osmValue},
                           {"place_rank", 30},
                           {"importance", 0.4},
                           {"addresstype", p.osmValue},
                           {"name", *p.name != '\0' ? p.name : p.street},
                           {"display_name", displayName(p)},
                           {"boundingbox",
                            {platform::cformat("%.7f", p.lat - 0.0005), platform::cformat("%.7f", p.lat + 0.0005),
                             platform::cformat("%.7f", p.lon - 0.0008), platform::cformat("%.7f", p.lon + 0.0008)}}});
    }
    return results;
}

nlohmann::json suggestAnswer(const std::string& query, int limit) {
    nlohmann::json features = nlohmann::json::array();
    for (const Place& p : kPlaces) {
        if (static_cast<int>(features.size()) >= limit) break;
        if (!matches(p, query)) continue;
        nlohmann::json props{{"osm_type", p.osmType},   {"osm_id", p.osmId},      {"osm_key", p.osmKey},
                             {"osm_value", p.osmValue}, {"country", "Polska"},    {"countrycode", "PL"},
                             {"state", p.state},        {"postcode", p.postcode}, {"type", p.osmValue}};
        for (const auto& [key, value] : {std::pair{"name", p.name},
                                         {"street", p.street},
                                         {"housenumber", p.housenumber},
                                         {"city", p.city},
                                         {"county", p.county}})
            if (*value != '\0') props[key] = value;
        features.push_back(nlohmann::json{{"type", "Feature"},
                                          {"geometry", {{"type", "Point"}, {"coordinates", {p.lon, p.lat}}}},
                                          {"properties", std::move(props)}});
    }
    return nlohmann::json{{"type", "FeatureCollection"}, {"features", std::move(features)}};
}

std::string hostOf(const std::string& base) { return base.substr(base.find("://") + 3); }
std::string pathOf(const std::string& url) { return url.substr(url.find('/', url.find("://") + 3)); }

}  // namespace

void buildGeocoderScenario(Scenario& scenario) {
    const net::ServiceEndpoints& ep = net::serviceEndpoints();
    // The pages' map shows the countryside where these places lie.
    addOrthophoto(scenario);
    scenario.addHandler(hostOf(ep.nominatim), pathOf(ep.nominatimSearch()),
                        [](const SimRequest& request, SimResponse& response) {
                            if (request.method != "GET") return false;
                            jsonAnswer(response, searchAnswer(request.param("q"), limitOf(request, 10)));
                            return true;
                        });
    scenario.addHandler(hostOf(ep.photon), pathOf(ep.photonApi()),
                        [](const SimRequest& request, SimResponse& response) {
                            if (request.method != "GET") return false;
                            if (request.param("q").empty()) {
                                response.status = 400;
                                response.contentType = "application/json";
                                response.body = "{\"message\":\"missing search term 'q': /?q=berlin\"}";
                                return true;
                            }
                            jsonAnswer(response, suggestAnswer(request.param("q"), limitOf(request, 15)));
                            return true;
                        });
}

}  // namespace sim
