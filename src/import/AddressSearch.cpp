#include "import/AddressSearch.h"

#include <cmath>
#include <stdexcept>
#include <utility>

#include "formats/gml/GisFeature.h"
#include "net/ServiceEndpoints.h"
#include "net/UrlText.h"
#include "palette/MapPalette.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"

using gml::validUtf8;
using platform::cformat, platform::parseDouble, platform::startWorker;

namespace {

// West, south, east, north around Poland: suggestions from abroad are of no use.
constexpr const char* kPolandBox = "14.1,49.0,24.2,54.9";

bool plausibleDegrees(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90.0 && std::fabs(lon) <= 180.0;
}

// A string member, or empty when it is missing or not a string.
std::string textOf(const Json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// One coordinate of a search result. Geocoders send degrees as text ("52.2189474"); a number is
// taken as well. Text that is not a number fails the way the standard conversion does, so the
// user sees an error rather than a map moved to a made-up place.
double searchCoordinate(const Json& value) {
    double out = 0.0;
    if (value.is_number()) {
        out = value.get<double>();
    } else if (!value.is_string() || !parseDouble(value.get<std::string>(), out)) {
        throw std::invalid_argument("stod");
    }
    return out;
}

Json noPlace() { return Json{{"type", "addressResults"}}; }

}  // namespace

std::string addressSearchUrl(const std::string& query) {
    return serviceEndpoints().nominatimSearch() + "?format=json&limit=1&countrycodes=pl&q=" + urlEncode(query);
}

std::string addressSuggestUrl(const std::string& query, int limit) {
    return serviceEndpoints().photonApi() + "?q=" + urlEncode(query) + "&limit=" + cformat("%d", limit) +
           "&bbox=" + kPolandBox;
}

std::string addressSuggestionLabel(const Json& properties) {
    std::vector<std::string> parts;
    const std::string name = textOf(properties, "name");
    const std::string street = textOf(properties, "street");
    const std::string number = textOf(properties, "housenumber");
    const std::string city = textOf(properties, "city");
    const std::string county = textOf(properties, "county");
    if (!name.empty()) parts.push_back(name);
    if (!street.empty()) parts.push_back(number.empty() ? street : street + " " + number);
    else if (!number.empty()) parts.push_back(number);
    if (!city.empty()) parts.push_back(city);
    if (!county.empty()) parts.push_back(county);
    std::string label;
    for (const std::string& part : parts) {
        if (!label.empty()) label += ", ";
        label += part;
    }
    return label;
}

Json parseAddressSuggestions(const std::string& body) {
    Json items = Json::array();
    const Json answer = Json::parse(body, nullptr, false);
    if (!answer.is_object()) return items;
    const auto features = answer.find("features");
    if (features == answer.end() || !features->is_array()) return items;
    for (const Json& feature : *features) {
        if (!feature.is_object()) continue;
        const auto geometry = feature.find("geometry");
        if (geometry == feature.end() || !geometry->is_object()) continue;
        const auto coordinates = geometry->find("coordinates");
        if (coordinates == geometry->end() || !coordinates->is_array() || coordinates->size() < 2) continue;
        const Json& lonValue = (*coordinates)[0];
        const Json& latValue = (*coordinates)[1];
        if (!lonValue.is_number() || !latValue.is_number()) continue;
        const double lon = lonValue.get<double>();
        const double lat = latValue.get<double>();
        if (!plausibleDegrees(lat, lon)) continue;
        const auto properties = feature.find("properties");
        const std::string label = addressSuggestionLabel(properties != feature.end() ? *properties : Json::object());
        if (label.empty()) continue;
        items.push_back(Json{{"lat", lat}, {"lon", lon}, {"label", validUtf8(label)}});
    }
    return items;
}

WfsClient clientWithSettingsOf(const WfsClient& other) {
    WfsClient client;
    client.accessToken = other.accessToken;
    client.userAgent = other.userAgent;
    client.hostIntervalMs = other.hostIntervalMs;
    client.retryDelayMs = other.retryDelayMs;
    client.defaultReceiveTimeoutMs = other.defaultReceiveTimeoutMs;
    client.connectTimeoutMs = other.connectTimeoutMs;
    client.tileSizeMetres = other.tileSizeMetres;
    client.cacheDir = other.cacheDir;
    return client;
}

Json searchAddress(WfsClient& client, const Json& msg) {
    const std::string query = msg.value("query", std::string());
    if (query.empty()) return noPlace();
    const HttpResponse response = client.get(addressSearchUrl(query));
    if (response.status != 200)
        return Json{{"type", "error"}, {"msg", "Wyszukiwarka adresow nie odpowiada (Nominatim)"}};
    const Json answer = Json::parse(response.body, nullptr, false);
    if (!answer.is_array() || answer.empty() || !answer[0].is_object()) return noPlace();
    const Json& first = answer[0];
    // A result without a position is no place to move to.
    if (!first.contains("lat") || !first.contains("lon")) return noPlace();
    const double lat = searchCoordinate(first["lat"]);
    const double lon = searchCoordinate(first["lon"]);
    if (!plausibleDegrees(lat, lon)) throw std::invalid_argument("stod");
    return Json{
        {"type", "addressResults"}, {"lat", lat}, {"lon", lon}, {"label", validUtf8(textOf(first, "display_name"))}};
}

Json fetchAddressSuggestions(const std::string& query) {
    WfsClient client;
    const HttpResponse response =
        client.getWithTimeout(addressSuggestUrl(query, kAddressSuggestionLimit), kSuggestTimeoutMs);
    if (response.status != 200) return Json::array();
    return parseAddressSuggestions(response.body);
}

Json startAddressSuggestions(const Json& msg) {
    std::string query = msg.value("query", std::string());
    if (query.size() < kMinSuggestQueryBytes) return nullptr;
    startWorker([query = std::move(query)]() {
        Json items = Json::array();
        try {
            items = fetchAddressSuggestions(query);
        } catch (const std::exception&) {
            // The page waits for an answer to this query; an empty list ends its waiting.
            items = Json::array();
        }
        runOnMainThread([query, items = std::move(items)]() {
            MapPalette::sendToPage("addressSuggestions", Json{{"query", query}, {"items", items}});
        });
    });
    return nullptr;
}
