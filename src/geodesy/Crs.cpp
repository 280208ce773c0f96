#include "geodesy/Crs.h"

#include <cmath>
#include <stdexcept>

namespace geodesy {

namespace {

// GRS80.
constexpr double kA = 6378137.0;
constexpr double kE2 = 0.006694380022900787;
constexpr double kEp2 = 0.006739496775478957;
constexpr double kOneMinusE2 = 0.9933056199770992;
constexpr double kPi = 3.141592653589793;

// Meridian arc series coefficients for GRS80.
constexpr double kM0 = 0.9983242984445848;
constexpr double kM2 = 0.0025146070728448195;
constexpr double kM4 = 2.6390466202308984e-6;
constexpr double kM6 = 3.418046136775213e-9;
constexpr double kMeridianFactor = 6367449.145908449;  // a * kM0
constexpr double kAOneMinusE2 = 6335439.327083875;     // a * (1 - e^2)

// Multiples of e'^2 used by the series, as evaluated constants.
constexpr double k58Ep2 = 0.3908908129777795;
constexpr double k330Ep2 = 2.224033935908056;
constexpr double k9Ep2 = 0.060655470979310615;
constexpr double k252Ep2 = 1.6983531874206972;
constexpr double k8Ep2 = 0.05391597420383166;

struct Grid {
    double k0;
    double centralMeridianDeg;
    double falseEasting;
    double falseNorthing;
};

constexpr Grid kPl1992{0.9993, 19.0, 500000.0, -5300000.0};

double toRad(double deg) { return deg * kPi / 180.0; }
double toDeg(double rad) { return rad * 180.0 / kPi; }

// The PL-2000 zone parameters follow from the code itself.
Grid pl2000Grid(int epsg) {
    if (!isPl2000Epsg(epsg)) throw std::invalid_argument("Nieobslugiwany EPSG PL-2000");
    return {0.999923, (epsg - kEpsgPl2000Zone5) * 3.0 + 15.0, (epsg - 2171) * 1000000.0 + 500000.0, 0.0};
}

PlanarPoint forward(const Grid& g, double latRad, double lonRad) {
    return tmForward(latRad, lonRad, g.k0, toRad(g.centralMeridianDeg), g.falseEasting, g.falseNorthing);
}

LatLon inverse(const Grid& g, double easting, double northing) {
    return tmInverse(easting, northing, g.k0, toRad(g.centralMeridianDeg), g.falseEasting, g.falseNorthing);
}

}  // namespace

PlanarPoint tmForward(double phi, double lambda, double k0, double lambda0, double falseEasting, double falseNorthing) {
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double tanPhi = std::tan(phi);
    const double N = kA / std::sqrt(1.0 - kE2 * sinPhi * sinPhi);
    const double T = tanPhi * tanPhi;
    const double C = kEp2 * cosPhi * cosPhi;
    const double A = (lambda - lambda0) * cosPhi;
    const double M =
        kA * (kM0 * phi - kM2 * std::sin(2.0 * phi) + kM4 * std::sin(4.0 * phi) - kM6 * std::sin(6.0 * phi));

    const double A2 = A * A;
    const double A3 = A2 * A;
    const double A4 = A3 * A;
    const double A5 = A4 * A;
    const double A6 = A5 * A;

    const double easting =
        falseEasting +
        k0 * N * (A + (1.0 - T + C) * A3 / 6.0 + (5.0 - 18.0 * T + T * T + 72.0 * C - k58Ep2) * A5 / 120.0);
    const double northing =
        falseNorthing + k0 * (M + N * tanPhi *
                                      (A2 / 2.0 + (5.0 - T + 9.0 * C + 4.0 * C * C) * A4 / 24.0 +
                                       (61.0 - 58.0 * T + T * T + 600.0 * C - k330Ep2) * A6 / 720.0));
    return {easting, northing};
}

LatLon tmInverse(double easting, double northing, double k0, double lambda0, double falseEasting,
                 double falseNorthing) {
    const double sqrtOneMinusE2 = std::sqrt(kOneMinusE2);
    const double e1 = (1.0 - sqrtOneMinusE2) / (1.0 + sqrtOneMinusE2);
    const double e1sq = e1 * e1;
    const double e1cu = e1sq * e1;
    const double e1qu = e1cu * e1;

    const double mu = ((northing - falseNorthing) / k0) / kMeridianFactor;
    const double phi1 = mu + (3.0 * e1 / 2.0 - 27.0 * e1cu / 32.0) * std::sin(2.0 * mu) +
                        (21.0 * e1sq / 16.0 - 55.0 * e1qu / 32.0) * std::sin(4.0 * mu) +
                        (151.0 * e1cu / 96.0) * std::sin(6.0 * mu) + (1097.0 * e1qu / 512.0) * std::sin(8.0 * mu);

    const double sinPhi1 = std::sin(phi1);
    const double cosPhi1 = std::cos(phi1);
    const double tanPhi1 = std::tan(phi1);
    const double w = 1.0 - kE2 * sinPhi1 * sinPhi1;
    const double N1 = kA / std::sqrt(w);
    const double T1 = tanPhi1 * tanPhi1;
    const double C1 = kEp2 * cosPhi1 * cosPhi1;
    const double R1 = kAOneMinusE2 / std::pow(w, 1.5);
    const double D = (easting - falseEasting) / (N1 * k0);

    const double D2 = D * D;
    const double D3 = D2 * D;
    const double D4 = D3 * D;
    const double D5 = D4 * D;
    const double D6 = D5 * D;

    const double phi =
        phi1 -
        (N1 * tanPhi1 / R1) * (D2 / 2.0 - (5.0 + 3.0 * T1 + 10.0 * C1 - 4.0 * C1 * C1 - k9Ep2) * D4 / 24.0 +
                               (61.0 + 90.0 * T1 + 298.0 * C1 + 45.0 * T1 * T1 - k252Ep2 - 3.0 * C1 * C1) * D6 / 720.0);
    const double lambda =
        lambda0 + (D - (1.0 + 2.0 * T1 + C1) * D3 / 6.0 +
                   (5.0 - 2.0 * C1 + 28.0 * T1 - 3.0 * C1 * C1 + k8Ep2 + 24.0 * T1 * T1) * D5 / 120.0) /
                      cosPhi1;
    return {phi, lambda};
}

PlanarPoint wgs84ToPl1992(double latDeg, double lonDeg) { return forward(kPl1992, toRad(latDeg), toRad(lonDeg)); }

LatLon pl1992ToWgs84(double easting, double northing) {
    const LatLon r = inverse(kPl1992, easting, northing);
    return {toDeg(r.lat), toDeg(r.lon)};
}

PlanarPoint pl1992ToPl2000(double easting, double northing, int epsg) {
    const LatLon geo = inverse(kPl1992, easting, northing);
    const Grid zone = pl2000Grid(epsg);
    return forward(zone, geo.lat, geo.lon);
}

LatLon pl2000ToWgs84(double easting, double northing, int epsg) {
    const LatLon r = inverse(pl2000Grid(epsg), easting, northing);
    return {toDeg(r.lat), toDeg(r.lon)};
}

PlanarPoint pl2000ToPl1992(double easting, double northing, int epsg) {
    const LatLon geo = inverse(pl2000Grid(epsg), easting, northing);
    return forward(kPl1992, geo.lat, geo.lon);
}

int pl2000ZoneForLongitude(double lonDeg) {
    if (lonDeg < 16.5) return kEpsgPl2000Zone5;
    if (lonDeg < 19.5) return kEpsgPl2000Zone6;
    if (lonDeg < 22.5) return kEpsgPl2000Zone7;
    return kEpsgPl2000Zone8;
}

int epsgFromCrsText(std::string_view text) {
    static constexpr std::string_view kCodes[] = {"2176", "2177", "2178", "2179", "2180"};
    static constexpr int kValues[] = {kEpsgPl2000Zone5, kEpsgPl2000Zone6, kEpsgPl2000Zone7, kEpsgPl2000Zone8,
                                      kEpsgPl1992};
    for (int i = 0; i < 5; ++i) {
        if (text.find(kCodes[i]) != std::string_view::npos) return kValues[i];
    }
    return 0;
}

LocalAffine localAffinePl1992ToPl2000(const Bbox& box, int epsg) {
    const PlanarPoint c = box.centre();
    const PlanarPoint p0 = pl1992ToPl2000(c.x, c.y, epsg);
    const PlanarPoint pe = pl1992ToPl2000(c.x + 1.0, c.y, epsg);
    const PlanarPoint pn = pl1992ToPl2000(c.x, c.y + 1.0, epsg);
    return {c.x, c.y, p0.x, p0.y, pe.x - p0.x, pe.y - p0.y, pn.x - p0.x, pn.y - p0.y};
}

}  // namespace geodesy
