// The GML library's public interface: features parsed from GML and their GeoJSON.
#pragma once

#include "formats/gml/GisFeature.h"  // GisPolygon, GisFeature (points are geodesy::PlanarPoint); featuresToGeoJson, validUtf8
#include "formats/gml/GmlParser.h"  // GmlParser: GML feature collections to features (GmlParseResult)
