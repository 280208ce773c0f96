#include "LazSheet.h"

#include <stdlib.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "formats/las/LazWriter.h"
#include "platform/ByteOrder.h"

namespace sim {

std::string lazSheetBytes(const std::vector<LazSheetPoint>& points, const LazSheetFormat& format) {
    if (points.empty()) return {};
    // A folder of our own (created exclusively, private): a predictable name in the shared temporary folder
    // could be taken over by another user's link.
    std::string folder = (std::filesystem::temp_directory_path() / "geodraft-sim-XXXXXX").string();
    if (::mkdtemp(folder.data()) == nullptr) return {};
    struct RemoveFolder {
        std::string folder;
        ~RemoveFolder() {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    } removeFolder{folder};
    const std::filesystem::path path = std::filesystem::path(folder) / "sheet.laz";

    las::LasHeader header;
    header.pointFormat = format.coloured ? 2 : 0;
    header.pointRecordLength = format.coloured ? 26 : 20;
    header.scaleX = header.scaleY = header.scaleZ = 0.01;
    header.offsetX = std::floor(points.front().x / 1000) * 1000;
    header.offsetY = std::floor(points.front().y / 1000) * 1000;
    header.minX = header.maxX = points.front().x;
    header.minY = header.maxY = points.front().y;
    header.minZ = header.maxZ = points.front().z;
    for (const LazSheetPoint& p : points) {
        header.minX = std::min(header.minX, p.x), header.maxX = std::max(header.maxX, p.x);
        header.minY = std::min(header.minY, p.y), header.maxY = std::max(header.maxY, p.y);
        header.minZ = std::min(header.minZ, p.z), header.maxZ = std::max(header.maxZ, p.z);
    }
    header.pointCount = points.size();
    header.pointsByReturn[0] = points.size();
    header.generatingSoftware = "geodraft-sim";

    las::LazWriter writer;
    if (!writer.open(path, header, las::LazWriteOptions{format.chunkPoints}).ok) return {};
    char record[26];
    for (const LazSheetPoint& p : points) {
        std::memset(record, 0, sizeof record);
        platform::writeLittleEndian(record, static_cast<std::int32_t>(std::lround((p.x - header.offsetX) / 0.01)));
        platform::writeLittleEndian(record + 4, static_cast<std::int32_t>(std::lround((p.y - header.offsetY) / 0.01)));
        platform::writeLittleEndian(record + 8, static_cast<std::int32_t>(std::lround((p.z - header.offsetZ) / 0.01)));
        platform::writeLittleEndian(record + 12, format.intensity);
        record[14] = 0x09;  // return 1 of 1
        record[15] = static_cast<char>(p.cls);
        if (format.coloured) {
            platform::writeLittleEndian(record + 20, static_cast<std::uint16_t>(p.red * 257));
            platform::writeLittleEndian(record + 22, static_cast<std::uint16_t>(p.green * 257));
            platform::writeLittleEndian(record + 24, static_cast<std::uint16_t>(p.blue * 257));
        }
        if (!writer.writePoint(record).ok) return {};
    }
    if (!writer.close().ok) return {};
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return std::move(bytes).str();
}

}  // namespace sim
