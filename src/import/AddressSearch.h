// Address search of the import palette: the full search (geocoder of the Nominatim kind, answered at once)
// and suggestions while typing (geocoder of the Photon kind, answered later by a pushed event).
#pragma once
#include <string>

#include <nlohmann/json.hpp>
#include "net/WfsClient.h"

namespace importer {

// Number of suggestions asked for.
inline constexpr int kAddressSuggestionLimit = 5;
// Shortest query (in bytes) worth suggesting for.
inline constexpr std::size_t kMinSuggestQueryBytes = 3;

// Search URL of a query: the search endpoint, the fixed parameters and the percent-encoded query.
std::string addressSearchUrl(const std::string& query);
// Suggestion URL of a query with the given limit, restricted to a box around Poland.
std::string addressSuggestUrl(const std::string& query, int limit);
// The label of a suggestion from its properties: name, street with number, city, county joined by ", ".
std::string addressSuggestionLabel(const nlohmann::json& properties);
// The suggestion items ({"label","lat","lon"}) of a suggestion answer; empty for anything else.
nlohmann::json parseAddressSuggestions(const std::string& body);

// A new client with the settings of another (token, agent, pacing, time-outs, cache) but no request history,
// for a request made while another thread owns that client.
net::WfsClient clientWithSettingsOf(const net::WfsClient& other);
// "searchAddress": one blocking search with the given client; "addressResults" (with or without a place) or "error".
nlohmann::json searchAddress(net::WfsClient& client, const nlohmann::json& msg);
// "searchAddress" off the main loop: a query that is empty is answered at once (a malformed one throws at
// once); otherwise a worker searches with a client of `settingsOf`'s settings (searches one after another, paced
// as one client) and pushes "addressResults" or "error"; null is returned.
nlohmann::json startAddressSearch(const net::WfsClient& settingsOf, const nlohmann::json& msg);
// "searchAddressSuggest": starts a suggestion worker for queries of 3 bytes or more; always null.
// The worker pushes "addressSuggestions" with the query as received and its items.
nlohmann::json startAddressSuggestions(const nlohmann::json& msg);
// What the worker does: one request (own client, 4 s receive time-out) and its items, empty on any failure.
nlohmann::json fetchAddressSuggestions(const std::string& query);

}  // namespace importer
