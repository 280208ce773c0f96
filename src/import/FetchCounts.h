// Counting a fetch result by data type, as the page shows it.
#pragma once
#include "bridge/Bridge.h"
#include "import/FetchedData.h"

// Number of items per data-type key: features by their type, rasters as "<key> (rastr)",
// and every non-empty 3D list under its own name. Always a JSON object (empty when nothing).
Json countFetchedData(const FetchedData& data);

// True when the fetch produced nothing at all (every list is empty).
bool fetchedNothing(const FetchedData& data);
