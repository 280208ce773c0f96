// The layer keys the page sends: what each yields, which groups fetch it, how it is counted and placed.
// Adding a layer means adding one row here (and its data types to the data-type table in settings).
#pragma once
#include <cstddef>
#include <string_view>
#include <vector>

#include "formats/DataType.h"
#include "host/Host.h"

namespace importer {

struct FetchContext;
struct FetchedData;
struct PlacementContext;

// One group of a fetch: fetches every layer that lists it, once, however many of them were asked for.
using FetchGroup = void (*)(FetchContext&);

// One layer key of the page. Layers drawn as 2D features or rasters have no count or step of their own:
// they are counted per data type and placed by the rasters and 2D objects steps.
struct PageLayer {
    const char* key;                                       // as the page sends it
    std::vector<formats::DataType> types;                  // the data types it yields
    std::vector<FetchGroup> groups;                        // the groups that fetch it
    const char* countLabel = nullptr;                      // its key in the page's counts
    std::size_t (*count)(const FetchedData&) = nullptr;    // items of its list
    const char* step = nullptr;                            // its placement step, for the user
    bool (*hasData)(const FetchedData&) = nullptr;         // whether the step has anything to place
    host::HostError (*make)(PlacementContext&) = nullptr;  // null: fetched, but not placeable yet
};

// The fetch groups in the order a fetch runs them.
const std::vector<FetchGroup>& fetchGroupOrder();
// The layer keys; the rows with a step are in placement order.
const std::vector<PageLayer>& pageLayers();

}  // namespace importer
