// Counting a fetch result by data type, as the page shows it.
#pragma once
#include <nlohmann/json.hpp>

#include "import/FetchedData.h"

namespace importer {

// Number of items per data-type key: features by their type, rasters as "<key> (rastr)", and every
// non-empty list of a layer under the layer's count label. Always a JSON object (empty when nothing).
nlohmann::json countFetchedData(const FetchedData& data);

// True when the fetch produced nothing at all (every list is empty).
bool fetchedNothing(const FetchedData& data);

}  // namespace importer
