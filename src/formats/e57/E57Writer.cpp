#include "formats/e57/E57Writer.h"

#include <pugixml.hpp>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "formats/e57/detail/PageWriter.h"
#include "platform/ByteOrder.h"
#include "platform/Numbers.h"

namespace e57 {

using detail::PageWriter;

namespace {

constexpr std::size_t kPacketMaxPoints = 1057;  // keeps a packet's 16-bit length field in range
constexpr std::size_t kPageDataBytes = PageWriter::kPageDataBytes;
constexpr std::uint64_t kPageBytes = PageWriter::kPageBytes;
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

}  // namespace

struct E57Writer::Impl {
    std::filesystem::path path;
    std::FILE* file = nullptr;
    std::unique_ptr<PageWriter> out;
    std::uint64_t count = 0;
    FloatBounds bounds;
    // The packet being gathered, one column per field, as stored (little-endian floats, bytes).
    std::size_t pending = 0;
    unsigned char xs[4 * kPacketMaxPoints], ys[4 * kPacketMaxPoints], zs[4 * kPacketMaxPoints];
    unsigned char rs[kPacketMaxPoints], gs[kPacketMaxPoints], bs[kPacketMaxPoints];

    void writePacket();
    // Closes and removes the file; only a regular file is ours to remove, a device is left alone.
    void abandon();
};

void E57Writer::Impl::writePacket() {
    const std::size_t n = pending;
    const std::uint64_t length = packetLength(n);
    unsigned char head[kPacketHeaderBytes];
    head[0] = 1;  // data packet
    head[1] = 0;
    platform::writeLittleEndian<std::uint16_t>(head + 2, static_cast<std::uint16_t>(length - 1));
    platform::writeLittleEndian<std::uint16_t>(head + 4, 6);
    const auto floatStream = static_cast<std::uint16_t>(4 * n);
    const auto byteStream = static_cast<std::uint16_t>(n);
    platform::writeLittleEndian<std::uint16_t>(head + 6, floatStream);
    platform::writeLittleEndian<std::uint16_t>(head + 8, floatStream);
    platform::writeLittleEndian<std::uint16_t>(head + 10, floatStream);
    platform::writeLittleEndian<std::uint16_t>(head + 12, byteStream);
    platform::writeLittleEndian<std::uint16_t>(head + 14, byteStream);
    platform::writeLittleEndian<std::uint16_t>(head + 16, byteStream);
    out->put(head, sizeof head);
    out->put(xs, 4 * n);
    out->put(ys, 4 * n);
    out->put(zs, 4 * n);
    out->put(rs, n);
    out->put(gs, n);
    out->put(bs, n);
    const unsigned char zeros[4] = {};
    out->put(zeros, static_cast<std::size_t>(length - kPacketHeaderBytes - kBytesPerPoint * n));
    pending = 0;
}

void E57Writer::Impl::abandon() {
    out.reset();
    if (file) std::fclose(file);
    file = nullptr;
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) std::filesystem::remove(path, ec);
}

E57Writer::E57Writer() : impl_(std::make_unique<Impl>()) {}

E57Writer::~E57Writer() {
    if (impl_->file) impl_->abandon();
}

bool E57Writer::open(const std::filesystem::path& path, std::string& error) {
    if (impl_->file) impl_->abandon();
    impl_ = std::make_unique<Impl>();
    impl_->path = path;
    impl_->file = std::fopen(path.c_str(), "wb");
    if (!impl_->file) {
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    // The page writer gathers whole buffers itself; stdio need not copy them again.
    std::setvbuf(impl_->file, nullptr, _IONBF, 0);
    impl_->out = std::make_unique<PageWriter>(impl_->file);
    // File header and section header are patched in by close(); the packets follow them directly.
    const unsigned char placeholder[kHeaderBytes + kSectionHeaderBytes] = {};
    impl_->out->put(placeholder, sizeof placeholder);
    return true;
}

void E57Writer::add(const formats::CloudPoint* points, std::size_t count) {
    Impl& s = *impl_;
    if (!s.file || count == 0) return;
    FloatBounds& b = s.bounds;
    if (s.count == 0) {
        b.minX = b.maxX = static_cast<float>(points[0].x);
        b.minY = b.maxY = static_cast<float>(points[0].y);
        b.minZ = b.maxZ = static_cast<float>(points[0].z);
    }
    s.count += count;
    while (count > 0) {
        const std::size_t n = std::min(count, kPacketMaxPoints - s.pending);
        for (std::size_t i = 0, at = s.pending; i < n; ++i, ++at) {
            const formats::CloudPoint& p = points[i];
            const float x = static_cast<float>(p.x), y = static_cast<float>(p.y), z = static_cast<float>(p.z);
            if (x < b.minX) b.minX = x;
            if (x > b.maxX) b.maxX = x;
            if (y < b.minY) b.minY = y;
            if (y > b.maxY) b.maxY = y;
            if (z < b.minZ) b.minZ = z;
            if (z > b.maxZ) b.maxZ = z;
            platform::writeLittleEndian<float>(s.xs + 4 * at, x);
            platform::writeLittleEndian<float>(s.ys + 4 * at, y);
            platform::writeLittleEndian<float>(s.zs + 4 * at, z);
            s.rs[at] = p.red;
            s.gs[at] = p.green;
            s.bs[at] = p.blue;
        }
        s.pending += n;
        points += n;
        count -= n;
        if (s.pending == kPacketMaxPoints) s.writePacket();
    }
}

bool E57Writer::close(std::string& error) {
    Impl& s = *impl_;
    if (!s.file) {
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    if (s.count == 0) {
        s.abandon();
        error = "Brak punktow do zapisu.";
        return false;
    }
    if (s.pending > 0) s.writePacket();
    const std::uint64_t section = sectionLength(static_cast<std::size_t>(s.count));
    const std::string xml = buildXml(static_cast<std::size_t>(s.count), s.bounds);

    const std::uint64_t xmlLogical = kHeaderBytes + section;
    const std::uint64_t logicalLength = xmlLogical + xml.size();
    const std::uint64_t pageCount = (logicalLength + kPageDataBytes - 1) / kPageDataBytes;

    unsigned char header[kHeaderBytes + kSectionHeaderBytes] = {};
    std::memcpy(header, "ASTM-E57", 8);
    platform::writeLittleEndian<std::uint32_t>(header + 8, 1);
    platform::writeLittleEndian<std::uint32_t>(header + 12, 0);
    platform::writeLittleEndian<std::uint64_t>(header + 16, pageCount * kPageBytes);
    platform::writeLittleEndian<std::uint64_t>(header + 24, xmlLogical + (xmlLogical / kPageDataBytes) * 4);
    platform::writeLittleEndian<std::uint64_t>(header + 32, xml.size());
    platform::writeLittleEndian<std::uint64_t>(header + 40, kPageBytes);
    unsigned char* sectionHeader = header + kHeaderBytes;
    sectionHeader[0] = 1;  // compressed-vector section
    platform::writeLittleEndian<std::uint64_t>(sectionHeader + 8, section);
    platform::writeLittleEndian<std::uint64_t>(sectionHeader + 16,
                                               kHeaderBytes + kSectionHeaderBytes);  // data packets follow directly
    platform::writeLittleEndian<std::uint64_t>(sectionHeader + 24, 0);               // no index packets
    s.out->patchFirstPage(0, header, sizeof header);
    s.out->put(xml.data(), xml.size());

    // A full disk or a failing device shows up only here; a cut-off file must not pass as written.
    const bool written = s.out->finish();
    s.out.reset();
    const bool closed = std::fclose(s.file) == 0;
    s.file = nullptr;
    if (!written || !closed) {
        s.abandon();
        error = "Nie mozna zapisac pliku e57.";
        return false;
    }
    return true;
}

bool writeE57(const std::filesystem::path& path, const std::vector<formats::CloudPoint>& points, std::string& error) {
    if (points.empty()) {
        error = "Brak punktow do zapisu.";
        return false;
    }
    E57Writer writer;
    if (!writer.open(path, error)) return false;
    writer.add(points.data(), points.size());
    return writer.close(error);
}

}  // namespace e57
