// Import workflow: the import palette's controller and what it keeps between fetch and place.
#pragma once
#include "import/AddressSearch.h"     // searchAddress, startAddressSuggestions, addressSuggestionLabel: address search
#include "import/Drawing2D.h"         // drawFeatures, parcelLabel, pogZoneColour, element makers: 2D drawing
#include "import/FetchCounts.h"       // countFetchedData, fetchedNothing: the page's counts of a fetch
#include "import/FetchFrame.h"        // pl1992FrameFromWgs84, chooseFetchEpsg: frame and zone of a fetch
#include "import/FetchGroups.h"       // FetchContext, runFetchGroups and the layer groups of a fetch
#include "import/FetchedData.h"       // FetchedData: everything one fetch brought back
#include "import/Georeference.h"      // Georef, GeorefReading, readProjectGeoreference: the project's georeference
#include "import/ImportController.h"  // ImportController: handlers, fetch worker, stored result
#include "import/LayerMapping.h"      // LayerMapping: the layer of each data type, found or created
#include "import/OriginTerrainHeight.h"  // lookupTerrainHeight, startOriginHeightLookup: height after "setOrigin"
#include "import/Placement.h"            // PlacementResult, PlacementContext, placementSteps, runPlacement: placement
#include "import/PlacementChecks.h"      // checkPlacementGeoreference, HeightAnchor: georeference checks, height anchor
#include "import/PlanningActs.h"         // PlanningAct, queryActs, selectAct, downloadActFeatures: land-use plans
#include "import/ProjectTransform.h"     // ProjectTransform: working zone to project coordinates
#include "import/RasterFetch.h"          // chooseRasterEpsg, fetchRaster: WMS rasters
#include "import/RasterImage.h"          // RasterImage: one fetched WMS tile
#include "import/RasterPlacement.h"      // placeRasterPicture: a fetched tile as a picture element
