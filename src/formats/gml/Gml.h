// The GML library's public interface: features parsed from GML and their GeoJSON.
#pragma once

#include "formats/gml/GisFeature.h"  // GisPoint, GisPolygon, GisFeature; featuresToGeoJson, validUtf8
#include "formats/gml/GmlParser.h"   // GmlParser: GML feature collections to features (GmlParseResult)
