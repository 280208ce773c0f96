// PNG and JPEG encoding of an RGBA raster for the simulated WMS.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;  // width * height * 4 bytes, rows top to bottom

    RgbaImage(int w, int h, std::uint32_t rgba);
    void set(int x, int y, std::uint32_t rgba);
};

// Encoded file bytes; empty on failure.
std::string encodePng(const RgbaImage& image);
std::string encodeJpeg(const RgbaImage& image, int quality = 85);

}  // namespace sim
