#include "ImageEncoder.h"

#include <png.h>

#include <cstdio>
#include <cstring>

#include <jpeglib.h>

namespace sim {

RgbaImage::RgbaImage(int w, int h, std::uint32_t rgba)
    : width(w), height(h), pixels(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4) {
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        pixels[i] = static_cast<std::uint8_t>(rgba >> 24);
        pixels[i + 1] = static_cast<std::uint8_t>(rgba >> 16);
        pixels[i + 2] = static_cast<std::uint8_t>(rgba >> 8);
        pixels[i + 3] = static_cast<std::uint8_t>(rgba);
    }
}

void RgbaImage::set(int x, int y, std::uint32_t rgba) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    const std::size_t i =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 4;
    pixels[i] = static_cast<std::uint8_t>(rgba >> 24);
    pixels[i + 1] = static_cast<std::uint8_t>(rgba >> 16);
    pixels[i + 2] = static_cast<std::uint8_t>(rgba >> 8);
    pixels[i + 3] = static_cast<std::uint8_t>(rgba);
}

std::string encodePng(const RgbaImage& image) {
    // Written once at zlib's fastest level: a photograph of a town does not shrink much further and a map
    // request should not wait for it.
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    std::string out;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return {};
    }
    png_set_write_fn(
        png, &out,
        [](png_structp p, png_bytep data, png_size_t length) {
            static_cast<std::string*>(png_get_io_ptr(p))->append(reinterpret_cast<const char*>(data), length);
        },
        nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                 PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y)
        png_write_row(png,
                      image.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) * 4);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

std::string encodeJpeg(const RgbaImage& image, int quality) {
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(image.width);
    info.image_height = static_cast<JDIMENSION>(image.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(image.width) * 3);
    while (info.next_scanline < info.image_height) {
        const std::uint8_t* src = image.pixels.data() + static_cast<std::size_t>(info.next_scanline) * image.width * 4;
        for (int x = 0; x < image.width; ++x) {
            // Transparent pixels become white, as a JPEG cannot carry alpha.
            const unsigned alpha = src[x * 4 + 3];
            for (int c = 0; c < 3; ++c)
                row[static_cast<std::size_t>(x) * 3 + c] =
                    static_cast<unsigned char>((src[x * 4 + c] * alpha + 255 * (255 - alpha)) / 255);
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<const char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

}  // namespace sim
