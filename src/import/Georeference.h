// Reading the project's georeference back from the host and grading it.
#pragma once
#include <string>

#include "geodesy/Epsg.h"

namespace importer {

// The project georeference as the import uses it.
struct Georef {
    double easting = 0.0;  // metres (PL-2000 of `epsg`, or PL-1992 for an approximate one)
    double northing = 0.0;
    double rotation = 0.0;      // radians
    double surveyExtra1 = 0.0;  // two further survey-point values, copied from the host record
    double surveyExtra2 = 0.0;
    bool valid = false;
};

// How trustworthy a georeference read from the project is.
enum class GeorefQuality : int {
    none = 0,         // no georeference at all (or the host refused)
    approximate = 1,  // only the project location (latitude/longitude) is set
    exact = 2,        // the survey point is set
};

// The outcome of reading the project's georeference.
struct GeorefReading {
    GeorefQuality quality = GeorefQuality::none;
    Georef georef;
    std::string message;              // for the user; may be empty
    int epsg = geodesy::kEpsgPl1992;  // system of georef.easting/northing
};

// Reads the project's geolocation record through the host and grades it.
GeorefReading readProjectGeoreference();

}  // namespace importer
