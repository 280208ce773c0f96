#include "formats/las/LasHeaderIo.h"

#include <cstring>

#include "platform/Numbers.h"

namespace {

template <typename T>
T readLe(const std::uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
void writeLe(std::string& out, std::size_t at, T v) {
    std::memcpy(out.data() + at, &v, sizeof v);
}

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
    h.fileSourceId = readLe<std::uint16_t>(data + 4);
    h.globalEncoding = readLe<std::uint16_t>(data + 6);
    std::memcpy(h.projectGuid.data(), data + 8, 16);
    h.versionMajor = data[24];
    h.versionMinor = data[25];
    h.systemIdentifier = fixedText(data + 26, 32);
    h.generatingSoftware = fixedText(data + 58, 32);
    h.creationDay = readLe<std::uint16_t>(data + 90);
    h.creationYear = readLe<std::uint16_t>(data + 92);
    h.headerSize = readLe<std::uint16_t>(data + 94);
    h.offsetToPointData = readLe<std::uint32_t>(data + 96);
    h.vlrCount = readLe<std::uint32_t>(data + 100);
    const std::uint8_t formatByte = data[104];
    h.pointRecordLength = readLe<std::uint16_t>(data + 105);
    const std::uint32_t legacyCount = readLe<std::uint32_t>(data + 107);
    for (int i = 0; i < 5; ++i) h.pointsByReturn[i] = readLe<std::uint32_t>(data + 111 + 4 * i);
    h.scaleX = readLe<double>(data + 131);
    h.scaleY = readLe<double>(data + 139);
    h.scaleZ = readLe<double>(data + 147);
    h.offsetX = readLe<double>(data + 155);
    h.offsetY = readLe<double>(data + 163);
    h.offsetZ = readLe<double>(data + 171);
    h.maxX = readLe<double>(data + 179);
    h.minX = readLe<double>(data + 187);
    h.maxY = readLe<double>(data + 195);
    h.minY = readLe<double>(data + 203);
    h.maxZ = readLe<double>(data + 211);
    h.minZ = readLe<double>(data + 219);
    h.pointCount = legacyCount;

    if (h.versionMajor != 1 || h.versionMinor > 4)
        return headerError(cformat("nieobslugiwana wersja %u.%u", static_cast<unsigned>(h.versionMajor),
                                   static_cast<unsigned>(h.versionMinor)));
    if (h.headerSize < 227) return headerError(cformat("rozmiar naglowka %u", static_cast<unsigned>(h.headerSize)));
    if (h.headerSize > fileSize || h.offsetToPointData < h.headerSize || h.offsetToPointData > fileSize)
        return headerError(cformat("poczatek punktow (%u) poza plikiem", h.offsetToPointData));
    if (h.versionMinor >= 4 && h.headerSize >= 375) {
        if (size < 375) return headerError("plik krotszy niz naglowek LAS 1.4");
        h.evlrOffset = readLe<std::uint64_t>(data + 235);
        h.evlrCount = readLe<std::uint32_t>(data + 243);
        const std::uint64_t count = readLe<std::uint64_t>(data + 247);
        if (count != 0 || legacyCount == 0) {
            h.pointCount = count;
            for (int i = 0; i < 15; ++i) h.pointsByReturn[i] = readLe<std::uint64_t>(data + 255 + 8 * i);
        }
    }
    if ((formatByte & 0xC0) == 0xC0) return headerError("stary, nieobslugiwany rodzaj kompresji");
    h.compressed = (formatByte & 0x80) != 0 || (formatByte & 0x40) != 0;
    h.pointFormat = formatByte & 0x3F;
    const std::uint16_t core = lasCoreRecordSize(h.pointFormat);
    if (core == 0) return headerError(cformat("nieznany format punktu %u", static_cast<unsigned>(h.pointFormat)));
    if (h.pointRecordLength < core)
        return headerError(cformat("rekord punktu %u bajtow, format %u wymaga %u",
                                   static_cast<unsigned>(h.pointRecordLength), static_cast<unsigned>(h.pointFormat),
                                   static_cast<unsigned>(core)));
    out = std::move(h);
    return LasStatus::success();
}

std::string encodeLasHeader(const LasHeader& h) {
    std::string out(h.headerSize, '\0');
    std::memcpy(out.data(), "LASF", 4);
    writeLe<std::uint16_t>(out, 4, h.fileSourceId);
    writeLe<std::uint16_t>(out, 6, h.globalEncoding);
    std::memcpy(out.data() + 8, h.projectGuid.data(), 16);
    out[24] = static_cast<char>(h.versionMajor);
    out[25] = static_cast<char>(h.versionMinor);
    std::memcpy(out.data() + 26, h.systemIdentifier.data(), std::min<std::size_t>(32, h.systemIdentifier.size()));
    std::memcpy(out.data() + 58, h.generatingSoftware.data(), std::min<std::size_t>(32, h.generatingSoftware.size()));
    writeLe<std::uint16_t>(out, 90, h.creationDay);
    writeLe<std::uint16_t>(out, 92, h.creationYear);
    writeLe<std::uint16_t>(out, 94, h.headerSize);
    writeLe<std::uint32_t>(out, 96, h.offsetToPointData);
    writeLe<std::uint32_t>(out, 100, h.vlrCount);
    out[104] = static_cast<char>(h.pointFormat | (h.compressed ? 0x80 : 0));
    writeLe<std::uint16_t>(out, 105, h.pointRecordLength);
    // LAS 1.4 keeps the legacy counts zero for the new formats or when they do not fit.
    const bool legacyFits = h.pointFormat < 6 && h.pointCount <= 0xFFFFFFFFull;
    writeLe<std::uint32_t>(out, 107, legacyFits ? static_cast<std::uint32_t>(h.pointCount) : 0);
    for (int i = 0; i < 5; ++i)
        writeLe<std::uint32_t>(
            out, 111 + 4 * i,
            legacyFits && h.pointsByReturn[i] <= 0xFFFFFFFFull ? static_cast<std::uint32_t>(h.pointsByReturn[i]) : 0);
    writeLe<double>(out, 131, h.scaleX);
    writeLe<double>(out, 139, h.scaleY);
    writeLe<double>(out, 147, h.scaleZ);
    writeLe<double>(out, 155, h.offsetX);
    writeLe<double>(out, 163, h.offsetY);
    writeLe<double>(out, 171, h.offsetZ);
    writeLe<double>(out, 179, h.maxX);
    writeLe<double>(out, 187, h.minX);
    writeLe<double>(out, 195, h.maxY);
    writeLe<double>(out, 203, h.minY);
    writeLe<double>(out, 211, h.maxZ);
    writeLe<double>(out, 219, h.minZ);
    if (h.headerSize >= 375) {
        writeLe<std::uint64_t>(out, 235, h.evlrOffset);
        writeLe<std::uint32_t>(out, 243, h.evlrCount);
        writeLe<std::uint64_t>(out, 247, h.pointCount);
        for (int i = 0; i < 15; ++i) writeLe<std::uint64_t>(out, 255 + 8 * i, h.pointsByReturn[i]);
    }
    return out;
}
