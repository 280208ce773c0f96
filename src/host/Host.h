// The host modelling interface: every operation the add-on asks of the modelling application.
// All operations run on the main thread and answer 0 or a host error code.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Host error code; 0 is success.
using HostError = std::int32_t;
// Success.
constexpr HostError kHostOk = 0;
// Answer of every operation before the host's function table is installed.
constexpr HostError kHostNotSupplied = static_cast<HostError>(0x81060387u);
// Common host error codes the add-on names in its diagnostics.
constexpr HostError kHostBadId = -2130311;
constexpr HostError kHostBadPars = -2130313;
constexpr HostError kHostBadIndex = -2130315;
constexpr HostError kHostNotSupported = -2110145;

// The project's geolocation record (the fields the add-on reads or writes).
struct GeoLocation {
    std::string crsName;          // first CRS text, e.g. "EPSG:2178"
    std::string crsText2;         // a second CRS text
    std::string geodeticDatum;
    std::string verticalDatum;
    std::string mapProjection;
    std::string mapZone;
    double longitude = 0.0;       // project location, degrees
    double latitude = 0.0;        // project location, degrees
    double altitude = 0.0;        // project location, metres
    double rotation = 0.0;        // project location rotation value
    std::int16_t locationFlags = 0;  // a 16-bit value of the location part
    double surveyEasting = 0.0;   // survey point, metres
    double surveyNorthing = 0.0;
    double surveyHeight = 0.0;    // survey point orthogonal height
    double xAxisAbscissa = 1.0;   // grid x-axis direction
    double xAxisOrdinate = 0.0;
    double scale = 1.0;
    double surveyExtra1 = 0.0;    // two further survey-point values, kept as read
    double surveyExtra2 = 0.0;
    bool operator==(const GeoLocation&) const = default;
};
