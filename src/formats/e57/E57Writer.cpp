#include "formats/e57/E57Writer.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "formats/e57/detail/Crc32c.h"
#include "platform/ByteOrder.h"
#include "platform/Numbers.h"

namespace e57 {

using detail::crc32c;

namespace {

constexpr std::size_t kPacketMaxPoints = 1057;  // keeps a packet's 16-bit length field in range
constexpr std::size_t kPageDataBytes = 1020;    // each 1024-byte page is 1020 data bytes and a CRC
constexpr std::uint64_t kPageBytes = 1024;
constexpr std::uint64_t kHeaderBytes = 48;
constexpr std::uint64_t kSectionHeaderBytes = 32;
constexpr std::size_t kPacketHeaderBytes = 6 + 12;
constexpr std::size_t kBytesPerPoint = 15;  // three floats and three colour bytes

const char* const kE57Namespace = "http://www.astm.org/COMMIT/E57/2010-e57-v1.0";

std::uint64_t packetLength(std::size_t pointsInPacket) {
    return (kPacketHeaderBytes + kBytesPerPoint * pointsInPacket + 3) & ~std::uint64_t{3};
}

std::uint64_t sectionLength(std::size_t count) {
    const std::size_t full = count / kPacketMaxPoints;
    const std::size_t rest = count % kPacketMaxPoints;
    return kSectionHeaderBytes + full * packetLength(kPacketMaxPoints) + (rest ? packetLength(rest) : 0);
}

struct FloatBounds {
    float minX = 0, maxX = 0, minY = 0, maxY = 0, minZ = 0, maxZ = 0;
};

// Bounds of the coordinates as they will be stored, so a reader finds every value inside them.
FloatBounds storedBounds(const std::vector<formats::CloudPoint>& points) {
    FloatBounds b;
    b.minX = b.maxX = static_cast<float>(points.front().x);
    b.minY = b.maxY = static_cast<float>(points.front().y);
    b.minZ = b.maxZ = static_cast<float>(points.front().z);
    for (const formats::CloudPoint& p : points) {
        const float x = static_cast<float>(p.x), y = static_cast<float>(p.y), z = static_cast<float>(p.z);
        if (x < b.minX) b.minX = x;
        if (x > b.maxX) b.maxX = x;
        if (y < b.minY) b.minY = y;
        if (y > b.maxY) b.maxY = y;
        if (z < b.minZ) b.minZ = z;
        if (z > b.maxZ) b.maxZ = z;
    }
    return b;
}

std::string numberText(double v) { return platform::cformat("%.17g", v); }

pugi::xml_node typedChild(pugi::xml_node parent, const char* name, const char* type) {
    pugi::xml_node n = parent.append_child(name);
    n.append_attribute("type") = type;
    return n;
}

void stringChild(pugi::xml_node parent, const char* name, const char* value) {
    pugi::xml_node n = typedChild(parent, name, "String");
    if (value && *value) n.append_child(pugi::node_cdata).set_value(value);
}

void integerChild(pugi::xml_node parent, const char* name, long long value) {
    typedChild(parent, name, "Integer").text().set(std::to_string(value).c_str());
}

void floatChild(pugi::xml_node parent, const char* name, double value) {
    typedChild(parent, name, "Float").text().set(numberText(value).c_str());
}

void emptyChild(pugi::xml_node parent, const char* name, const char* type) { typedChild(parent, name, type); }

void dateTimeChild(pugi::xml_node parent, const char* name) {
    pugi::xml_node n = typedChild(parent, name, "Structure");
    emptyChild(n, "dateTimeValue", "Float");
    emptyChild(n, "isAtomicClockReferenced", "Integer");
}

void heterogeneousVector(pugi::xml_node n) { n.append_attribute("allowHeterogeneousChildren") = "1"; }

void coordinatePrototype(pugi::xml_node prototype, const char* name, float lo, float hi) {
    pugi::xml_node n = typedChild(prototype, name, "Float");
    n.append_attribute("precision") = "single";
    n.append_attribute("minimum") = numberText(lo).c_str();
    n.append_attribute("maximum") = numberText(hi).c_str();
    n.text().set(numberText((static_cast<double>(lo) + static_cast<double>(hi)) / 2.0).c_str());
}

void colourPrototype(pugi::xml_node prototype, const char* name) {
    pugi::xml_node n = typedChild(prototype, name, "Integer");
    n.append_attribute("minimum") = "0";
    n.append_attribute("maximum") = "255";
}

struct StringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
};

std::string buildXml(std::size_t count, const FloatBounds& b) {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";

    pugi::xml_node root = typedChild(doc, "e57Root", "Structure");
    root.append_attribute("xmlns") = kE57Namespace;
    stringChild(root, "formatName", "ASTM E57 3D Imaging Data File");
    stringChild(root, "guid", "{aaaaaaaa-0000-0000-0000-000000000001}");
    integerChild(root, "versionMajor", 1);
    emptyChild(root, "versionMinor", "Integer");
    stringChild(root, "e57LibraryVersion", "velmora-e57-0.1");
    emptyChild(root, "coordinateMetadata", "String");
    dateTimeChild(root, "creationDateTime");

    pugi::xml_node data3D = typedChild(root, "data3D", "Vector");
    heterogeneousVector(data3D);
    pugi::xml_node scan = typedChild(data3D, "vectorChild", "Structure");
    stringChild(scan, "guid", "{aaaaaaaa-0000-0000-0000-000000000002}");
    stringChild(scan, "name", "velmora_cloud");
    emptyChild(scan, "temperature", "Float");
    emptyChild(scan, "relativeHumidity", "Float");
    emptyChild(scan, "atmosphericPressure", "Float");
    stringChild(scan, "description", "velmora");

    pugi::xml_node index = typedChild(scan, "indexBounds", "Structure");
    emptyChild(index, "rowMinimum", "Integer");
    integerChild(index, "rowMaximum", static_cast<long long>(count) - 1);
    for (const char* name : {"columnMinimum", "columnMaximum", "returnMinimum", "returnMaximum"})
        emptyChild(index, name, "Integer");

    pugi::xml_node colours = typedChild(scan, "colorLimits", "Structure");
    for (const char* channel : {"Red", "Green", "Blue"}) {
        emptyChild(colours, (std::string("color") + channel + "Minimum").c_str(), "Integer");
        integerChild(colours, (std::string("color") + channel + "Maximum").c_str(), 255);
    }

    pugi::xml_node bounds = typedChild(scan, "cartesianBounds", "Structure");
    floatChild(bounds, "xMinimum", b.minX);
    floatChild(bounds, "xMaximum", b.maxX);
    floatChild(bounds, "yMinimum", b.minY);
    floatChild(bounds, "yMaximum", b.maxY);
    floatChild(bounds, "zMinimum", b.minZ);
    floatChild(bounds, "zMaximum", b.maxZ);

    pugi::xml_node pose = typedChild(scan, "pose", "Structure");
    pugi::xml_node rotation = typedChild(pose, "rotation", "Structure");
    floatChild(rotation, "w", 1.0);
    for (const char* axis : {"x", "y", "z"}) emptyChild(rotation, axis, "Float");
    pugi::xml_node translation = typedChild(pose, "translation", "Structure");
    for (const char* axis : {"x", "y", "z"}) emptyChild(translation, axis, "Float");

    dateTimeChild(scan, "acquisitionStart");
    dateTimeChild(scan, "acquisitionEnd");

    pugi::xml_node points = typedChild(scan, "points", "CompressedVector");
    points.append_attribute("fileOffset") = "48";
    points.append_attribute("recordCount") = std::to_string(count).c_str();
    pugi::xml_node prototype = typedChild(points, "prototype", "Structure");
    coordinatePrototype(prototype, "cartesianX", b.minX, b.maxX);
    coordinatePrototype(prototype, "cartesianY", b.minY, b.maxY);
    coordinatePrototype(prototype, "cartesianZ", b.minZ, b.maxZ);
    colourPrototype(prototype, "colorRed");
    colourPrototype(prototype, "colorGreen");
    colourPrototype(prototype, "colorBlue");
    heterogeneousVector(typedChild(points, "codecs", "Vector"));

    heterogeneousVector(typedChild(root, "images2D", "Vector"));

    StringWriter out;
    doc.save(out, "", pugi::format_raw, pugi::encoding_utf8);
    return out.text;
}

// Cuts the logical byte stream into 1020-byte pieces, each written with its big-endian CRC-32C.
// Streaming keeps memory flat: only one page is buffered, whatever the size of the cloud.
class PageWriter {
public:
    explicit PageWriter(std::FILE* file) : file_(file) {}

    void put(const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        while (size > 0) {
            const std::size_t take = std::min(size, kPageDataBytes - fill_);
            std::memcpy(page_ + fill_, p, take);
            fill_ += take;
            p += take;
            size -= take;
            if (fill_ == kPageDataBytes) flushPage();
        }
    }

    // Zero-fills and writes a partly filled last page; true when every byte reached the file.
    bool finish() {
        if (fill_ > 0) {
            std::memset(page_ + fill_, 0, kPageDataBytes - fill_);
            fill_ = kPageDataBytes;
            flushPage();
        }
        return ok_;
    }

private:
    void flushPage() {
        const std::uint32_t crc = crc32c(page_, kPageDataBytes);
        platform::writeBigEndian32(page_ + 1020, crc);
        if (ok_ && std::fwrite(page_, 1, kPageBytes, file_) != kPageBytes) ok_ = false;
        fill_ = 0;
    }

    std::FILE* file_;
    unsigned char page_[kPageBytes];
    std::size_t fill_ = 0;
    bool ok_ = true;
};

void writePacket(PageWriter& out, const formats::CloudPoint* pts, std::size_t n, std::vector<unsigned char>& buf) {
    const std::uint64_t length = packetLength(n);
    buf.assign(length, 0);
    unsigned char* p = buf.data();
    p[0] = 1;  // data packet
    p[1] = 0;
    platform::writeLittleEndian<std::uint16_t>(p + 2, static_cast<std::uint16_t>(length - 1));
    platform::writeLittleEndian<std::uint16_t>(p + 4, 6);
    const auto floatStream = static_cast<std::uint16_t>(4 * n);
    const auto byteStream = static_cast<std::uint16_t>(n);
    platform::writeLittleEndian<std::uint16_t>(p + 6, floatStream);
    platform::writeLittleEndian<std::uint16_t>(p + 8, floatStream);
    platform::writeLittleEndian<std::uint16_t>(p + 10, floatStream);
    platform::writeLittleEndian<std::uint16_t>(p + 12, byteStream);
    platform::writeLittleEndian<std::uint16_t>(p + 14, byteStream);
    platform::writeLittleEndian<std::uint16_t>(p + 16, byteStream);
    unsigned char* xs = p + kPacketHeaderBytes;
    unsigned char* ys = xs + 4 * n;
    unsigned char* zs = ys + 4 * n;
    unsigned char* rs = zs + 4 * n;
    unsigned char* gs = rs + n;
    unsigned char* bs = gs + n;
    for (std::size_t i = 0; i < n; ++i) {
        platform::writeLittleEndian<float>(xs + 4 * i, static_cast<float>(pts[i].x));
        platform::writeLittleEndian<float>(ys + 4 * i, static_cast<float>(pts[i].y));
        platform::writeLittleEndian<float>(zs + 4 * i, static_cast<float>(pts[i].z));
        rs[i] = pts[i].red;
        gs[i] = pts[i].green;
        bs[i] = pts[i].blue;
    }
    out.put(buf.data(), buf.size());
}

}  // namespace

bool writeE57(const std::filesystem::path& path, const std::vector<formats::CloudPoint>& points, std::string& error) {
    if (points.empty()) {
        error = "Brak punktow do zapisu.";
        return false;
    }
    const FloatBounds bounds = storedBounds(points);
    const std::uint64_t section = sectionLength(points.size());
    const std::string xml = buildXml(points.size(), bounds);

    const std::uint64_t xmlLogical = kHeaderBytes + section;
    const std::uint64_t logicalLength = xmlLogical + xml.size();
    const std::uint64_t pageCount = (logicalLength + kPageDataBytes - 1) / kPageDataBytes;

    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    std::setvbuf(file, nullptr, _IOFBF, 1 << 20);
    PageWriter out(file);

    unsigned char header[kHeaderBytes] = {};
    std::memcpy(header, "ASTM-E57", 8);
    platform::writeLittleEndian<std::uint32_t>(header + 8, 1);
    platform::writeLittleEndian<std::uint32_t>(header + 12, 0);
    platform::writeLittleEndian<std::uint64_t>(header + 16, pageCount * kPageBytes);
    platform::writeLittleEndian<std::uint64_t>(header + 24, xmlLogical + (xmlLogical / kPageDataBytes) * 4);
    platform::writeLittleEndian<std::uint64_t>(header + 32, xml.size());
    platform::writeLittleEndian<std::uint64_t>(header + 40, kPageBytes);
    out.put(header, sizeof header);

    unsigned char sectionHeader[kSectionHeaderBytes] = {};
    sectionHeader[0] = 1;  // compressed-vector section
    platform::writeLittleEndian<std::uint64_t>(sectionHeader + 8, section);
    platform::writeLittleEndian<std::uint64_t>(sectionHeader + 16,
                                               kHeaderBytes + kSectionHeaderBytes);  // data packets follow directly
    platform::writeLittleEndian<std::uint64_t>(sectionHeader + 24, 0);               // no index packets
    out.put(sectionHeader, sizeof sectionHeader);

    std::vector<unsigned char> packet;
    for (std::size_t first = 0; first < points.size(); first += kPacketMaxPoints) {
        const std::size_t n = std::min(kPacketMaxPoints, points.size() - first);
        writePacket(out, points.data() + first, n, packet);
    }
    out.put(xml.data(), xml.size());

    // A full disk or a failing device shows up only here; a cut-off file must not pass as written.
    const bool written = out.finish();
    const bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        // Only a regular file is ours to remove; a device or a special file is left alone.
        std::error_code ec;
        if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    return true;
}

}  // namespace e57
