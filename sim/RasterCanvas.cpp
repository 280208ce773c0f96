#include "RasterCanvas.h"

#include <algorithm>
#include <cmath>

#include "geodesy/Crs.h"

namespace sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kRadius = 6378137.0;

geodesy::PlanarPoint toPl1992(int epsg, double x, double y) {
    if (epsg >= 2176 && epsg <= 2179) return geodesy::pl2000ToPl1992(x, y, epsg);
    if (epsg == 3857) {
        const double lon = x / kRadius * 180.0 / kPi;
        const double lat = (2.0 * std::atan(std::exp(y / kRadius)) - kPi / 2) * 180.0 / kPi;
        return geodesy::wgs84ToPl1992(lat, lon);
    }
    return {x, y};
}

// Inverse of the affine map (a, b, c, d, e, f).
void invert(const double m[6], double out[6]) {
    const double det = m[0] * m[4] - m[1] * m[3];
    out[0] = m[4] / det, out[1] = -m[1] / det, out[3] = -m[3] / det, out[4] = m[0] / det;
    out[2] = -(out[0] * m[2] + out[1] * m[5]);
    out[5] = -(out[3] * m[2] + out[4] * m[5]);
}

}  // namespace

RasterCanvas::RasterCanvas(RgbaImage& image, int epsg, double minX, double minY, double maxX, double maxY)
    : image_(image) {
    // Over a map picture the systems differ from an affine map by far less than a pixel: the corners fix it.
    const double w = image.width, h = image.height;
    const geodesy::PlanarPoint tl = toPl1992(epsg, minX, maxY), tr = toPl1992(epsg, maxX, maxY);
    const geodesy::PlanarPoint bl = toPl1992(epsg, minX, minY), br = toPl1992(epsg, maxX, minY);
    // Pixel (px, py) of the image edges: (0,0) top left, (w,h) bottom right.
    toWorld_[0] = (tr.x - tl.x) / w, toWorld_[1] = (bl.x - tl.x) / h, toWorld_[2] = tl.x;
    toWorld_[3] = (tr.y - tl.y) / w, toWorld_[4] = (bl.y - tl.y) / h, toWorld_[5] = tl.y;
    invert(toWorld_, toPixel_);
    extent_ = geodesy::boundsOf({tl, tr, bl, br});
    metresPerPixel_ = std::hypot(tr.x - tl.x, tr.y - tl.y) / w;
}

bool RasterCanvas::meets(const geodesy::Bbox& box) const {
    return box.minE <= extent_.maxE && box.maxE >= extent_.minE && box.minN <= extent_.maxN && box.maxN >= extent_.minN;
}

geodesy::PlanarPoint RasterCanvas::toPixel(geodesy::PlanarPoint p) const {
    return {toPixel_[0] * p.x + toPixel_[1] * p.y + toPixel_[2], toPixel_[3] * p.x + toPixel_[4] * p.y + toPixel_[5]};
}

geodesy::PlanarPoint RasterCanvas::toWorld(double px, double py) const {
    return {toWorld_[0] * px + toWorld_[1] * py + toWorld_[2], toWorld_[3] * px + toWorld_[4] * py + toWorld_[5]};
}

template <class Span>
void RasterCanvas::scan(const std::vector<Ring>& rings, Span span) const {
    struct Edge {
        double x0, y0, x1, y1;
    };
    std::vector<Edge> edges;
    double top = 1e300, bottom = -1e300;
    for (const Ring& ring : rings) {
        for (std::size_t i = 0; i < ring.size(); ++i) {
            const geodesy::PlanarPoint a = toPixel(ring[i]), b = toPixel(ring[(i + 1) % ring.size()]);
            if (a.y == b.y) continue;
            edges.push_back({a.x, a.y, b.x, b.y});
            top = std::min({top, a.y, b.y}), bottom = std::max({bottom, a.y, b.y});
        }
    }
    if (edges.empty()) return;
    const int y0 = std::max(0, static_cast<int>(std::floor(top))),
              y1 = std::min(image_.height - 1, static_cast<int>(std::ceil(bottom)));
    std::vector<double> xs;
    for (int y = y0; y <= y1; ++y) {
        const double cy = y + 0.5;
        xs.clear();
        for (const Edge& e : edges)
            if ((e.y0 <= cy) != (e.y1 <= cy)) xs.push_back(e.x0 + (cy - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0));
        std::sort(xs.begin(), xs.end());
        for (std::size_t k = 0; k + 1 < xs.size(); k += 2) {
            const int a = std::max(0, static_cast<int>(std::ceil(xs[k] - 0.5)));
            const int b = std::min(image_.width - 1, static_cast<int>(std::floor(xs[k + 1] - 0.5)));
            if (a <= b) span(y, a, b);
        }
    }
}

void RasterCanvas::fill(const std::vector<Ring>& rings, const Shader& shader) {
    scan(rings, [&](int y, int a, int b) {
        for (int x = a; x <= b; ++x) blend(x, y, shader(toWorld(x + 0.5, y + 0.5)));
    });
}

void RasterCanvas::fill(const std::vector<Ring>& rings, std::uint32_t rgba) {
    scan(rings, [&](int y, int a, int b) {
        for (int x = a; x <= b; ++x) blend(x, y, rgba);
    });
}

void RasterCanvas::tint(const std::vector<Ring>& rings, const std::function<double(geodesy::PlanarPoint)>& factor) {
    scan(rings, [&](int y, int a, int b) {
        for (int x = a; x <= b; ++x) blend(x, y, rgbaScaled(pixel(x, y), factor(toWorld(x + 0.5, y + 0.5))));
    });
}

void RasterCanvas::mark(const std::vector<Ring>& rings, std::vector<std::uint8_t>& mask) const {
    scan(rings, [&](int y, int a, int b) {
        std::fill(mask.begin() + static_cast<std::ptrdiff_t>(y) * image_.width + a,
                  mask.begin() + static_cast<std::ptrdiff_t>(y) * image_.width + b + 1, std::uint8_t{1});
    });
}

void RasterCanvas::fillCircle(geodesy::PlanarPoint centre, double radius, const Shader& shader) {
    Ring ring;
    const int n = std::clamp(static_cast<int>(radius / metresPerPixel_ * 2), 8, 48);
    for (int i = 0; i < n; ++i)
        ring.push_back({centre.x + radius * std::cos(2 * kPi * i / n), centre.y + radius * std::sin(2 * kPi * i / n)});
    fill({ring}, shader);
}

void RasterCanvas::stroke(const std::vector<geodesy::PlanarPoint>& line, double width, std::uint32_t rgba) {
    stroke(line, width, [rgba](geodesy::PlanarPoint) { return rgba; });
}

void RasterCanvas::stroke(const std::vector<geodesy::PlanarPoint>& line, double width, const Shader& shader) {
    if (line.size() < 2) return;
    const double half = std::max(width / 2, metresPerPixel_ * 0.5);
    double minE = 1e300, minN = 1e300, maxE = -1e300, maxN = -1e300;
    for (const auto& p : line)
        minE = std::min(minE, p.x), maxE = std::max(maxE, p.x), minN = std::min(minN, p.y), maxN = std::max(maxN, p.y);
    if (!meets({minE - half, minN - half, maxE + half, maxN + half})) return;
    // A quad per segment and a disc where the line turns or ends; the colours depend on the place only, so
    // pixels the pieces share are painted twice with the same colour.
    const int n = std::clamp(static_cast<int>(half / metresPerPixel_ * 2), 6, 24);
    const auto disc = [&](const geodesy::PlanarPoint& p) {
        Ring ring;
        for (int k = 0; k < n; ++k)
            ring.push_back({p.x + half * std::cos(2 * kPi * k / n), p.y + half * std::sin(2 * kPi * k / n)});
        fill({ring}, shader);
    };
    for (std::size_t i = 0; i + 1 < line.size(); ++i) {
        const auto& a = line[i];
        const auto& b = line[i + 1];
        const double len = std::hypot(b.x - a.x, b.y - a.y);
        if (len <= 0) continue;
        const double nx = -(b.y - a.y) / len * half, ny = (b.x - a.x) / len * half;
        if (!meets({std::min(a.x, b.x) - half, std::min(a.y, b.y) - half, std::max(a.x, b.x) + half,
                    std::max(a.y, b.y) + half}))
            continue;
        // Quads reach a little past their ends, closing the wedges where the line turns slightly.
        const double reach = (i == 0 && i + 2 == line.size()) ? 0.0 : half * 0.04 + metresPerPixel_ * 0.5;
        const double ex = (b.x - a.x) / len * reach, ey = (b.y - a.y) / len * reach;
        const geodesy::PlanarPoint a2{a.x - (i == 0 ? 0.0 : ex), a.y - (i == 0 ? 0.0 : ey)};
        const geodesy::PlanarPoint b2{b.x + (i + 2 == line.size() ? 0.0 : ex), b.y + (i + 2 == line.size() ? 0.0 : ey)};
        fill({{{a2.x + nx, a2.y + ny}, {b2.x + nx, b2.y + ny}, {b2.x - nx, b2.y - ny}, {a2.x - nx, a2.y - ny}}},
             shader);
        if (i == 0) disc(a);
        if (i + 2 == line.size()) {
            disc(b);
        } else {
            const auto& c = line[i + 2];
            const double turn = std::fabs(std::atan2((b.x - a.x) * (c.y - b.y) - (b.y - a.y) * (c.x - b.x),
                                                     (b.x - a.x) * (c.x - b.x) + (b.y - a.y) * (c.y - b.y)));
            if (turn > 0.08 && half > metresPerPixel_) disc(b);
        }
    }
}

void RasterCanvas::paint(const Shader& shader) {
    for (int y = 0; y < image_.height; ++y)
        for (int x = 0; x < image_.width; ++x) blend(x, y, shader(toWorld(x + 0.5, y + 0.5)));
}

void RasterCanvas::blend(int x, int y, std::uint32_t rgba) {
    if (x < 0 || y < 0 || x >= image_.width || y >= image_.height) return;
    const unsigned alpha = rgba & 0xFF;
    if (alpha == 0) return;
    std::uint8_t* p = &image_.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.width) +
                                      static_cast<std::size_t>(x)) *
                                     4];
    if (alpha == 255) {
        p[0] = static_cast<std::uint8_t>(rgba >> 24), p[1] = static_cast<std::uint8_t>(rgba >> 16);
        p[2] = static_cast<std::uint8_t>(rgba >> 8), p[3] = 255;
        return;
    }
    const unsigned src[3] = {(rgba >> 24) & 0xFF, (rgba >> 16) & 0xFF, (rgba >> 8) & 0xFF};
    const unsigned dstAlpha = p[3];
    const unsigned outAlpha = alpha + dstAlpha * (255 - alpha) / 255;
    for (int c = 0; c < 3; ++c)
        p[c] = static_cast<std::uint8_t>(
            outAlpha == 0 ? 0 : (src[c] * alpha + p[c] * dstAlpha * (255 - alpha) / 255) / outAlpha);
    p[3] = static_cast<std::uint8_t>(outAlpha);
}

std::uint32_t RasterCanvas::pixel(int x, int y) const {
    const std::uint8_t* p = &image_.pixels[(static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.width) +
                                            static_cast<std::size_t>(x)) *
                                           4];
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | p[3];
}

std::uint32_t rgbaScaled(std::uint32_t rgba, double factor) {
    const int f = static_cast<int>(factor * 256.0 + 0.5);
    std::uint32_t out = rgba & 0xFF;
    for (int shift = 8; shift <= 24; shift += 8) {
        const int c = (static_cast<int>((rgba >> shift) & 0xFF) * f) >> 8;
        out |= static_cast<std::uint32_t>(c < 0 ? 0 : c > 255 ? 255 : c) << shift;
    }
    return out;
}

std::uint32_t rgbaMixed(std::uint32_t a, std::uint32_t b, double t) {
    std::uint32_t out = 0;
    for (int shift = 0; shift <= 24; shift += 8) {
        const double c = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        out |= static_cast<std::uint32_t>(std::clamp(c + 0.5, 0.0, 255.0)) << shift;
    }
    return out;
}

double hashUnit(long long x, long long y, std::uint32_t seed) {
    std::uint32_t h =
        static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 13;
    h *= 0x85EBCA6Bu;
    h ^= h >> 16;
    h *= 0xC2B2AE35u;
    h ^= h >> 15;
    return static_cast<double>(h) * (1.0 / 4294967296.0);
}

double valueNoise(double x, double y, double scale, std::uint32_t seed) {
    const double fx = x / scale, fy = y / scale;
    long long a = static_cast<long long>(fx), b = static_cast<long long>(fy);
    a -= fx < static_cast<double>(a) ? 1 : 0;
    b -= fy < static_cast<double>(b) ? 1 : 0;
    const double tx = fx - static_cast<double>(a), ty = fy - static_cast<double>(b);
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    // Neighbouring pixels mostly share a lattice cell: its corners are kept per seed.
    struct Cell {
        long long a = 0, b = 0;
        std::uint32_t seed = 0;
        bool valid = false;
        double v[4] = {};
    };
    thread_local Cell cells[16];
    Cell& cell = cells[seed & 15];
    if (!cell.valid || cell.a != a || cell.b != b || cell.seed != seed) {
        cell = {
            a,
            b,
            seed,
            true,
            {hashUnit(a, b, seed), hashUnit(a + 1, b, seed), hashUnit(a, b + 1, seed), hashUnit(a + 1, b + 1, seed)}};
    }
    return (cell.v[0] * (1 - sx) + cell.v[1] * sx) * (1 - sy) + (cell.v[2] * (1 - sx) + cell.v[3] * sx) * sy;
}

}  // namespace sim
