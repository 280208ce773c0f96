// The remote-data layer: what each public header of src/net provides.
#pragma once
#include "net/Capabilities.h"   // getCapabilities: capabilities document of a WMS or WFS
#include "net/DownloadCache.h"  // cacheDirectory, cleanupCache, sha1Hex, isOgcExceptionDocument
#include "net/HttpExchange.h"
#include "net/HttpResponse.h"  // HttpResponse: answer of one WfsClient request        // HttpResult, HttpStreamResult, ChunkCallback, performRequest, performDownload
#include "net/LidarResolver.h"       // LidarResolver: LiDAR sheets of a frame and their cached download
#include "net/MunicipalityLookup.h"  // MunicipalityCache, findGminaTeryt, terytAtPoint: municipality code of a frame
#include "net/ServiceEndpoints.h"    // ServiceEndpoints (public service addresses), routeUrl (local routing)
#include "net/ServiceRegistry.h"  // ServiceUrls, county/municipal service tables, findCountyEgibWfs and friends, NationalService
#include "net/ServiceRegistryLayers.h"  // extractCapabilityNames, filterLayerNames, selectThematicLayers, selectPipeLayers
#include "net/TileIndex.h"  // ElevationTile, LidarTile, findNmtTiles, findNmptTiles, index scan and uklad_xy decoding
#include "net/UrlText.h"    // hostOfUrl, urlEncode, formatByteSize
#include "net/WfsClient.h"  // WfsClient (paced cached client) and its Options, ProgressCallback, TileProgressCallback
#include "net/WfsLayerFetcher.h"  // WfsLayerFetcher (type-name discovery, county layer fetch), featureTouchesBox, polygonMeetsBox
