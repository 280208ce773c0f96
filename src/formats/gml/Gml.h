// The GML library's public interface: features parsed from GML and their GeoJSON.
#pragma once

#include "formats/gml/GisFeature.h"  // GisPolygon, GisFeature (points are geodesy::PlanarPoint); featuresToGeoJson, validUtf8
#include "formats/gml/GmlParser.h"
#include "formats/gml/XmlEncoding.h"  // declared 8-bit encodings of XML answers turned into UTF-8  // GmlParser: GML feature collections to features (GmlParseResult)
