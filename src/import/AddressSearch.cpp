#include "import/AddressSearch.h"

#include <cmath>
#include <mutex>
#include <stdexcept>
#include <utility>

#include "bridge/Bridge.h"
#include "formats/gml/GisFeature.h"
#include "net/ServiceEndpoints.h"
#include "net/UrlText.h"
#include "palette/MapPalette.h"
#include "platform/Numbers.h"
#include "platform/Workers.h"

namespace importer {

namespace {

// West, south, east, north around Poland: suggestions from abroad are of no use.
constexpr const char* kPolandBox = "14.1,49.0,24.2,54.9";

bool plausibleDegrees(double lat, double lon) {
    return std::isfinite(lat) && std::isfinite(lon) && std::fabs(lat) <= 90.0 && std::fabs(lon) <= 180.0;
}

// A string member, or empty when it is missing or not a string.
std::string textOf(const nlohmann::json& object, const char* key) {
    if (!object.is_object()) return {};
    const auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

// One coordinate of a search result. Geocoders send degrees as text ("52.2189474"); a number is
// taken as well. Text that is not a number fails the way the standard conversion does, so the
// user sees an error rather than a map moved to a made-up place.
double searchCoordinate(const nlohmann::json& value) {
    double out = 0.0;
    if (value.is_number()) {
        out = value.get<double>();
    } else if (!value.is_string() || !platform::parseDouble(value.get<std::string>(), out)) {
        throw std::invalid_argument("stod");
    }
    return out;
}

nlohmann::json noPlace() { return nlohmann::json{{"type", "addressResults"}}; }

}  // namespace

std::string addressSearchUrl(const std::string& query) {
    return net::serviceEndpoints().nominatimSearch() +
           "?format=json&limit=1&countrycodes=pl&q=" + net::urlEncode(query);
}

std::string addressSuggestUrl(const std::string& query, int limit) {
    return net::serviceEndpoints().photonApi() + "?q=" + net::urlEncode(query) +
           "&limit=" + platform::cformat("%d", limit) + "&bbox=" + kPolandBox;
}

std::string addressSuggestionLabel(const nlohmann::json& properties) {
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

nlohmann::json parseAddressSuggestions(const std::string& body) {
    nlohmann::json items = nlohmann::json::array();
    const nlohmann::json answer = nlohmann::json::parse(body, nullptr, false);
    if (!answer.is_object()) return items;
    const auto features = answer.find("features");
    if (features == answer.end() || !features->is_array()) return items;
    for (const nlohmann::json& feature : *features) {
        if (!feature.is_object()) continue;
        const auto geometry = feature.find("geometry");
        if (geometry == feature.end() || !geometry->is_object()) continue;
        const auto coordinates = geometry->find("coordinates");
        if (coordinates == geometry->end() || !coordinates->is_array() || coordinates->size() < 2) continue;
        const nlohmann::json& lonValue = (*coordinates)[0];
        const nlohmann::json& latValue = (*coordinates)[1];
        if (!lonValue.is_number() || !latValue.is_number()) continue;
        const double lon = lonValue.get<double>();
        const double lat = latValue.get<double>();
        if (!plausibleDegrees(lat, lon)) continue;
        const auto properties = feature.find("properties");
        const std::string label =
            addressSuggestionLabel(properties != feature.end() ? *properties : nlohmann::json::object());
        if (label.empty()) continue;
        items.push_back(nlohmann::json{{"lat", lat}, {"lon", lon}, {"label", gml::validUtf8(label)}});
    }
    return items;
}

net::WfsClient clientWithSettingsOf(const net::WfsClient& other) {
    net::WfsClient own(other.options);
    // A cancel of the fetch is no cancel of a search or a height look-up.
    own.options.cancelQuery = nullptr;
    return own;
}

nlohmann::json searchAddress(net::WfsClient& client, const nlohmann::json& msg) {
    const std::string query = msg.value("query", std::string());
    if (query.empty()) return noPlace();
    const net::HttpResponse response = client.get(addressSearchUrl(query));
    const nlohmann::json answer = nlohmann::json::parse(response.body, nullptr, false);
    // Only a list of places is an answer: an HTML page, an error object or no text at all with status 200
    // come from a geocoder that did not answer, which "address not found" would hide.
    if (response.status != 200 || !answer.is_array())
        return nlohmann::json{{"type", "error"}, {"msg", "Wyszukiwarka adresow nie odpowiada (Nominatim)"}};
    if (answer.empty() || !answer[0].is_object()) return noPlace();
    const nlohmann::json& first = answer[0];
    // A result without a position is no place to move to.
    if (!first.contains("lat") || !first.contains("lon")) return noPlace();
    const double lat = searchCoordinate(first["lat"]);
    const double lon = searchCoordinate(first["lon"]);
    if (!plausibleDegrees(lat, lon)) throw std::invalid_argument("stod");
    return nlohmann::json{{"type", "addressResults"},
                          {"lat", lat},
                          {"lon", lon},
                          {"label", gml::validUtf8(textOf(first, "display_name"))}};
}

nlohmann::json fetchAddressSuggestions(const std::string& query) {
    net::WfsClient client;
    const net::HttpResponse response =
        client.getWithTimeout(addressSuggestUrl(query, kAddressSuggestionLimit), net::kSuggestTimeoutMs);
    if (response.status != 200) return nlohmann::json::array();
    return parseAddressSuggestions(response.body);
}

nlohmann::json startAddressSearch(const net::WfsClient& settingsOf, const nlohmann::json& msg) {
    // Read here, so a malformed message fails as before and an empty query needs no worker.
    const std::string query = msg.value("query", std::string());
    if (query.empty()) return noPlace();
    // One client for all searches keeps the geocoder's pacing across them; the worker holds it alone.
    struct SearchClient {
        std::mutex mutex;
        net::WfsClient client;
    };
    static SearchClient shared;
    net::WfsClient::Options options = clientWithSettingsOf(settingsOf).options;
    platform::startWorker([options = std::move(options), msg]() {
        nlohmann::json reply;
        try {
            std::lock_guard lock(shared.mutex);
            shared.client.options = options;
            reply = searchAddress(shared.client, msg);
        } catch (const std::exception& e) {
            reply = nlohmann::json{{"type", "error"}, {"msg", std::string("Blad wewnetrzny: ") + e.what()}};
        }
        bridge::runOnMainThread([reply = std::move(reply)]() mutable {
            const std::string type = reply.value("type", "error");
            reply.erase("type");
            palette::MapPalette::sendToPage(type, reply);
        });
    });
    return nullptr;
}

nlohmann::json startAddressSuggestions(const nlohmann::json& msg) {
    std::string query = msg.value("query", std::string());
    if (query.size() < kMinSuggestQueryBytes) return nullptr;
    platform::startWorker([query = std::move(query)]() {
        nlohmann::json items = nlohmann::json::array();
        try {
            items = fetchAddressSuggestions(query);
        } catch (const std::exception&) {
            // The page waits for an answer to this query; an empty list ends its waiting.
            items = nlohmann::json::array();
        }
        bridge::runOnMainThread([query, items = std::move(items)]() {
            palette::MapPalette::sendToPage("addressSuggestions", nlohmann::json{{"query", query}, {"items", items}});
        });
    });
    return nullptr;
}

}  // namespace importer
