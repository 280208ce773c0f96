// A picture of a map box that the simulated WMS services paint their worlds into: PL-1992 shapes filled with
// per-pixel colours, whatever system (PL-1992, a PL-2000 zone, Web Mercator) the box was asked in.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "ImageEncoder.h"
#include "geodesy/Bbox.h"
#include "geodesy/PlanarPoint.h"

namespace sim {

class RasterCanvas {
public:
    using Ring = std::vector<geodesy::PlanarPoint>;
    // Colour of a pixel from its centre in PL-1992 metres.
    using Shader = std::function<std::uint32_t(geodesy::PlanarPoint)>;

    // The image shows the box (minimum x, minimum y, maximum x, maximum y) in the EPSG system (2180, 2176..2179
    // or 3857).
    RasterCanvas(RgbaImage& image, int epsg, double minX, double minY, double maxX, double maxY);

    RgbaImage& image() { return image_; }
    // The PL-1992 box the picture covers (the corners' bounds).
    const geodesy::Bbox& extent() const { return extent_; }
    // Ground metres per pixel.
    double metresPerPixel() const { return metresPerPixel_; }
    bool meets(const geodesy::Bbox& box) const;

    geodesy::PlanarPoint toPixel(geodesy::PlanarPoint p1992) const;
    geodesy::PlanarPoint toWorld(double px, double py) const;

    // Even-odd fill of the rings (a hole is a ring inside another).
    void fill(const std::vector<Ring>& rings, const Shader& shader);
    void fill(const std::vector<Ring>& rings, std::uint32_t rgba);
    // Scales the colour already there by a factor per pixel (shading, shadows).
    void tint(const std::vector<Ring>& rings, const std::function<double(geodesy::PlanarPoint)>& factor);
    // Marks the pixels the rings cover in a mask of the image's size.
    void mark(const std::vector<Ring>& rings, std::vector<std::uint8_t>& mask) const;
    void fillCircle(geodesy::PlanarPoint centre, double radius, const Shader& shader);
    // A band of the given width along a line, with round joins and ends.
    void stroke(const std::vector<geodesy::PlanarPoint>& line, double width, std::uint32_t rgba);
    void stroke(const std::vector<geodesy::PlanarPoint>& line, double width, const Shader& shader);
    // Every pixel.
    void paint(const Shader& shader);
    // A pixel mixed with the colour by its alpha.
    void blend(int x, int y, std::uint32_t rgba);
    std::uint32_t pixel(int x, int y) const;

private:
    template <class Span>
    void scan(const std::vector<Ring>& rings, Span span) const;

    RgbaImage& image_;
    geodesy::Bbox extent_;
    double metresPerPixel_ = 1.0;
    double toWorld_[6] = {};  // world = (a px + b py + c, d px + e py + f), px and py at pixel centres
    double toPixel_[6] = {};
};

// Colour helpers: channels of 0xRRGGBBAA, scaled and mixed.
std::uint32_t rgbaScaled(std::uint32_t rgba, double factor);
std::uint32_t rgbaMixed(std::uint32_t a, std::uint32_t b, double t);
// Value noise in 0..1 over the plane, `scale` metres per lattice step (the same at every zoom).
double valueNoise(double x, double y, double scale, std::uint32_t seed);
double hashUnit(long long x, long long y, std::uint32_t seed);

}  // namespace sim
