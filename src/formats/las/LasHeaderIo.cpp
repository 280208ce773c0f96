#include "formats/las/LasHeaderIo.h"

#include <cstring>

#include "platform/ByteOrder.h"
#include "platform/Numbers.h"

namespace las {

namespace {

std::string fixedText(const std::uint8_t* p, std::size_t n) {
    std::size_t len = 0;
    while (len < n && p[len] != 0) ++len;
    return std::string(reinterpret_cast<const char*>(p), len);
}

LasStatus headerError(const std::string& what) {
    return LasStatus::failure("Uszkodzony naglowek LAS: " + what, "naglowek");
}

}  // namespace

std::uint16_t lasHeaderSizeForVersion(std::uint8_t versionMinor) {
    if (versionMinor >= 4) return 375;
    if (versionMinor == 3) return 235;
    return 227;
}

std::uint16_t lasCoreRecordSize(std::uint8_t pointFormat) {
    static constexpr std::uint16_t kSizes[] = {20, 28, 26, 34, 57, 63, 30, 36, 38, 59, 67};
    return pointFormat <= 10 ? kSizes[pointFormat] : 0;
}

LasStatus parseLasHeader(const std::uint8_t* data, std::size_t size, std::uint64_t fileSize, LasHeader& out) {
    if (size < 4 || std::memcmp(data, "LASF", 4) != 0)
        return LasStatus::failure("To nie jest plik LAS/LAZ (brak sygnatury LASF)", "naglowek");
    if (size < 227) return headerError("plik krotszy niz naglowek");
    LasHeader h;
    h.fileSourceId = platform::readLittleEndian<std::uint16_t>(data + 4);
    h.globalEncoding = platform::readLittleEndian<std::uint16_t>(data + 6);
    std::memcpy(h.projectGuid.data(), data + 8, 16);
    h.versionMajor = data[24];
    h.versionMinor = data[25];
    h.systemIdentifier = fixedText(data + 26, 32);
    h.generatingSoftware = fixedText(data + 58, 32);
    h.creationDay = platform::readLittleEndian<std::uint16_t>(data + 90);
    h.creationYear = platform::readLittleEndian<std::uint16_t>(data + 92);
    h.headerSize = platform::readLittleEndian<std::uint16_t>(data + 94);
    h.offsetToPointData = platform::readLittleEndian<std::uint32_t>(data + 96);
    h.vlrCount = platform::readLittleEndian<std::uint32_t>(data + 100);
    const std::uint8_t formatByte = data[104];
    h.pointRecordLength = platform::readLittleEndian<std::uint16_t>(data + 105);
    const std::uint32_t legacyCount = platform::readLittleEndian<std::uint32_t>(data + 107);
    for (int i = 0; i < 5; ++i) h.pointsByReturn[i] = platform::readLittleEndian<std::uint32_t>(data + 111 + 4 * i);
    h.scaleX = platform::readLittleEndian<double>(data + 131);
    h.scaleY = platform::readLittleEndian<double>(data + 139);
    h.scaleZ = platform::readLittleEndian<double>(data + 147);
    h.offsetX = platform::readLittleEndian<double>(data + 155);
    h.offsetY = platform::readLittleEndian<double>(data + 163);
    h.offsetZ = platform::readLittleEndian<double>(data + 171);
    h.maxX = platform::readLittleEndian<double>(data + 179);
    h.minX = platform::readLittleEndian<double>(data + 187);
    h.maxY = platform::readLittleEndian<double>(data + 195);
    h.minY = platform::readLittleEndian<double>(data + 203);
    h.maxZ = platform::readLittleEndian<double>(data + 211);
    h.minZ = platform::readLittleEndian<double>(data + 219);
    h.pointCount = legacyCount;

    if (h.versionMajor != 1 || h.versionMinor > 4)
        return headerError(platform::cformat("nieobslugiwana wersja %u.%u", static_cast<unsigned>(h.versionMajor),
                                             static_cast<unsigned>(h.versionMinor)));
    if (h.headerSize < 227)
        return headerError(platform::cformat("rozmiar naglowka %u", static_cast<unsigned>(h.headerSize)));
    if (h.headerSize > fileSize || h.offsetToPointData < h.headerSize || h.offsetToPointData > fileSize)
        return headerError(platform::cformat("poczatek punktow (%u) poza plikiem", h.offsetToPointData));
    if (h.versionMinor >= 4 && h.headerSize >= 375) {
        if (size < 375) return headerError("plik krotszy niz naglowek LAS 1.4");
        h.evlrOffset = platform::readLittleEndian<std::uint64_t>(data + 235);
        h.evlrCount = platform::readLittleEndian<std::uint32_t>(data + 243);
        const std::uint64_t count = platform::readLittleEndian<std::uint64_t>(data + 247);
        if (count != 0 || legacyCount == 0) {
            h.pointCount = count;
            for (int i = 0; i < 15; ++i)
                h.pointsByReturn[i] = platform::readLittleEndian<std::uint64_t>(data + 255 + 8 * i);
        }
    }
    if ((formatByte & 0xC0) == 0xC0) return headerError("stary, nieobslugiwany rodzaj kompresji");
    h.compressed = (formatByte & 0x80) != 0 || (formatByte & 0x40) != 0;
    h.pointFormat = formatByte & 0x3F;
    const std::uint16_t core = lasCoreRecordSize(h.pointFormat);
    if (core == 0)
        return headerError(platform::cformat("nieznany format punktu %u", static_cast<unsigned>(h.pointFormat)));
    if (h.pointRecordLength < core)
        return headerError(platform::cformat("rekord punktu %u bajtow, format %u wymaga %u",
                                             static_cast<unsigned>(h.pointRecordLength),
                                             static_cast<unsigned>(h.pointFormat), static_cast<unsigned>(core)));
    out = std::move(h);
    return LasStatus::success();
}

std::string encodeLasHeader(const LasHeader& h) {
    std::string out(h.headerSize, '\0');
    std::memcpy(out.data(), "LASF", 4);
    platform::writeLittleEndian<std::uint16_t>(out.data() + 4, h.fileSourceId);
    platform::writeLittleEndian<std::uint16_t>(out.data() + 6, h.globalEncoding);
    std::memcpy(out.data() + 8, h.projectGuid.data(), 16);
    out[24] = static_cast<char>(h.versionMajor);
    out[25] = static_cast<char>(h.versionMinor);
    std::memcpy(out.data() + 26, h.systemIdentifier.data(), std::min<std::size_t>(32, h.systemIdentifier.size()));
    std::memcpy(out.data() + 58, h.generatingSoftware.data(), std::min<std::size_t>(32, h.generatingSoftware.size()));
    platform::writeLittleEndian<std::uint16_t>(out.data() + 90, h.creationDay);
    platform::writeLittleEndian<std::uint16_t>(out.data() + 92, h.creationYear);
    platform::writeLittleEndian<std::uint16_t>(out.data() + 94, h.headerSize);
    platform::writeLittleEndian<std::uint32_t>(out.data() + 96, h.offsetToPointData);
    platform::writeLittleEndian<std::uint32_t>(out.data() + 100, h.vlrCount);
    out[104] = static_cast<char>(h.pointFormat | (h.compressed ? 0x80 : 0));
    platform::writeLittleEndian<std::uint16_t>(out.data() + 105, h.pointRecordLength);
    // LAS 1.4 keeps the legacy counts zero for the new formats or when they do not fit.
    const bool legacyFits = h.pointFormat < 6 && h.pointCount <= 0xFFFFFFFFull;
    platform::writeLittleEndian<std::uint32_t>(out.data() + 107,
                                               legacyFits ? static_cast<std::uint32_t>(h.pointCount) : 0);
    for (int i = 0; i < 5; ++i)
        platform::writeLittleEndian<std::uint32_t>(
            out.data() + 111 + 4 * i,
            legacyFits && h.pointsByReturn[i] <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(h.pointsByReturn[i]) : 0);
    platform::writeLittleEndian<double>(out.data() + 131, h.scaleX);
    platform::writeLittleEndian<double>(out.data() + 139, h.scaleY);
    platform::writeLittleEndian<double>(out.data() + 147, h.scaleZ);
    platform::writeLittleEndian<double>(out.data() + 155, h.offsetX);
    platform::writeLittleEndian<double>(out.data() + 163, h.offsetY);
    platform::writeLittleEndian<double>(out.data() + 171, h.offsetZ);
    platform::writeLittleEndian<double>(out.data() + 179, h.maxX);
    platform::writeLittleEndian<double>(out.data() + 187, h.minX);
    platform::writeLittleEndian<double>(out.data() + 195, h.maxY);
    platform::writeLittleEndian<double>(out.data() + 203, h.minY);
    platform::writeLittleEndian<double>(out.data() + 211, h.maxZ);
    platform::writeLittleEndian<double>(out.data() + 219, h.minZ);
    if (h.headerSize >= 375) {
        platform::writeLittleEndian<std::uint64_t>(out.data() + 235, h.evlrOffset);
        platform::writeLittleEndian<std::uint32_t>(out.data() + 243, h.evlrCount);
        platform::writeLittleEndian<std::uint64_t>(out.data() + 247, h.pointCount);
        for (int i = 0; i < 15; ++i)
            platform::writeLittleEndian<std::uint64_t>(out.data() + 255 + 8 * i, h.pointsByReturn[i]);
    }
    return out;
}

}  // namespace las
