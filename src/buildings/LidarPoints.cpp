#include "buildings/LidarPoints.h"

#include "formats/las/LasReader.h"
#include "platform/ByteOrder.h"

namespace buildings {

bool readLidarPoints(const std::filesystem::path& path, const geodesy::Bbox& frame,
                     std::vector<formats::CloudPoint>& points) {
    las::LasReader reader;
    if (!reader.open(path).ok) return false;
    const las::LasHeader& h = reader.header();
    const int classAt = h.pointFormat < 6 ? 15 : 16;
    if (h.pointRecordLength < 20) return false;
    constexpr std::uint64_t kBatch = 4096;
    std::vector<char> batch(kBatch * h.pointRecordLength);
    for (;;) {
        const std::uint64_t got = reader.readPoints(batch.data(), kBatch);
        for (std::uint64_t k = 0; k < got; ++k) {
            const char* r = batch.data() + k * h.pointRecordLength;
            formats::CloudPoint p;
            p.x = platform::readLittleEndian<std::int32_t>(r) * h.scaleX + h.offsetX;
            p.y = platform::readLittleEndian<std::int32_t>(r + 4) * h.scaleY + h.offsetY;
            if (!frame.contains({p.x, p.y})) continue;
            p.z = platform::readLittleEndian<std::int32_t>(r + 8) * h.scaleZ + h.offsetZ;
            p.classification = classAt < h.pointRecordLength ? static_cast<std::uint8_t>(r[classAt]) : 0;
            // Before format 6 the top three bits of the class byte are flags.
            if (h.pointFormat < 6) p.classification &= 0x1F;
            points.push_back(p);
        }
        if (got < kBatch) break;
    }
    return true;
}

}  // namespace buildings
