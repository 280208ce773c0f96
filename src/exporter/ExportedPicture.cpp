#include "exporter/ExportedPicture.h"

#include "platform/ByteOrder.h"

namespace exporter {

bool imagePixelSize(const std::vector<std::uint8_t>& b, std::int32_t& width, std::int32_t& height) {
    auto be16 = [&](std::size_t i) { return static_cast<std::int32_t>(platform::readBigEndian16(&b[i])); };
    auto be32 = [&](std::size_t i) { return static_cast<std::int64_t>(platform::readBigEndian32(&b[i])); };
    if (imageExtension(b) == "png") {
        if (b.size() < 24) return false;
        const auto w = be32(16), h = be32(20);
        if (w <= 0 || h <= 0 || w > 1000000 || h > 1000000) return false;
        width = static_cast<std::int32_t>(w);
        height = static_cast<std::int32_t>(h);
        return true;
    }
    if (imageExtension(b) == "jpg") {
        std::size_t i = 2;
        while (i + 4 <= b.size()) {
            if (b[i] != 0xFF) return false;
            const std::uint8_t marker = b[i + 1];
            if (marker == 0xFF) {
                ++i;
                continue;
            }
            if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) {
                i += 2;
                continue;
            }
            const std::size_t length = static_cast<std::size_t>(be16(i + 2));
            const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
            if (frame) {
                if (i + 9 > b.size() || length < 7) return false;
                height = be16(i + 5);
                width = be16(i + 7);
                return width > 0 && height > 0;
            }
            if (length < 2) return false;
            i += 2 + length;
        }
    }
    return false;
}

std::string imageExtension(const std::vector<std::uint8_t>& b) {
    static const std::uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (b.size() >= 8 && std::equal(std::begin(kPng), std::end(kPng), b.begin())) return "png";
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF) return "jpg";
    return {};
}

}  // namespace exporter
