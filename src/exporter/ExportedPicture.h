// Pictures written beside the DXF: which element, which file, how many pixels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace exporter {

// A picture written beside the DXF: its element's position in the snapshot and the file name.
struct ExportedPicture {
    std::size_t element = 0;
    std::string relativePath;     // e.g. "images/obraz_1.png"
    std::int32_t pixelWidth = 0;  // 0 when the image header could not be read
    std::int32_t pixelHeight = 0;
};

// Pixel size read from a PNG or JPEG header; false for anything else.
bool imagePixelSize(const std::vector<std::uint8_t>& bytes, std::int32_t& width, std::int32_t& height);
// File extension for the picture's bytes ("png", "jpg"), empty when they are neither.
std::string imageExtension(const std::vector<std::uint8_t>& bytes);

}  // namespace exporter
