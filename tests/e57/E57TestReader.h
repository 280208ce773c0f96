// A deliberately separate E57 reader for the tests: it shares no code with the writer (its own bit-wise
// CRC, its own page arithmetic, generic bit-unpacking driven by the XML prototype), so a mistake in the
// writer cannot be mirrored here. It reads the files of other E57 writers as well.
#pragma once
#include <pugixml.hpp>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Numbers.h"

namespace e57test {

// The number in an element's text or an attribute; pugixml's own conversion follows the process locale.
inline double number(const pugi::xml_text& t) {
    double v = NAN;
    platform::parseDouble(t.get(), v);
    return v;
}
inline double number(const pugi::xml_attribute& a) {
    double v = NAN;
    platform::parseDouble(a.value(), v);
    return v;
}

inline std::uint32_t crc32cBitwise(const unsigned char* p, std::size_t n) {
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c >> 1) ^ (0x82F63B78u & (0u - (c & 1u)));
    }
    return ~c;
}

inline std::uint64_t le(const std::string& s, std::size_t at, int bytes) {
    std::uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | static_cast<unsigned char>(s.at(at + static_cast<std::size_t>(i)));
    return v;
}

struct Field {
    std::string name;
    std::string type;  // "Float" or "Integer"
    bool single = false;
    long long minimum = 0, maximum = 0;
    int bits() const {
        int b = 0;
        while (b < 63 && (static_cast<unsigned long long>(maximum - minimum) >> b) != 0) ++b;
        return b;
    }
};

struct Packet {
    std::uint64_t length = 0;  // from the header field + 1
    std::vector<std::uint16_t> streamLengths;
};

struct Scan {
    std::string name;
    std::uint64_t fileOffset = 0;
    std::uint64_t recordCount = 0;
    std::vector<Field> fields;
    std::uint64_t sectionLength = 0;
    std::uint64_t dataPhysicalOffset = 0;
    std::vector<Packet> packets;
    std::vector<std::vector<double>> columns;  // one column per field, recordCount values each
    const std::vector<double>& column(const std::string& n) const {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (fields[i].name == n) return columns[i];
        static const std::vector<double> none;
        return none;
    }
};

struct File {
    std::string error;  // empty when the file was read completely
    std::string physical;
    std::string logical;  // pages without their checksums
    std::size_t badChecksums = 0;
    std::uint64_t physicalLength = 0, xmlPhysicalOffset = 0, xmlLogicalLength = 0, pageSize = 0;
    std::string xml;
    pugi::xml_document doc;
    std::vector<Scan> scans;
};

inline std::uint64_t toLogical(std::uint64_t physical) { return physical - (physical / 1024) * 4; }

inline bool readSection(File& f, Scan& scan) {
    const std::uint64_t at = toLogical(scan.fileOffset);
    if (at + 32 > f.logical.size() || f.logical[at] != 1) return false;
    scan.sectionLength = le(f.logical, at + 8, 8);
    scan.dataPhysicalOffset = le(f.logical, at + 16, 8);
    const std::uint64_t end = at + scan.sectionLength;
    std::uint64_t pos = toLogical(scan.dataPhysicalOffset);
    std::vector<std::string> streams(scan.fields.size());
    while (pos < end) {
        Packet pk;
        const int type = static_cast<unsigned char>(f.logical.at(pos));
        pk.length = le(f.logical, pos + 2, 2) + 1;
        if (type == 1) {
            const std::uint64_t count = le(f.logical, pos + 4, 2);
            if (count != scan.fields.size()) return false;
            std::uint64_t s = pos + 6 + 2 * count;
            for (std::uint64_t i = 0; i < count; ++i) {
                pk.streamLengths.push_back(static_cast<std::uint16_t>(le(f.logical, pos + 6 + 2 * i, 2)));
                streams[i] += f.logical.substr(s, pk.streamLengths.back());
                s += pk.streamLengths.back();
            }
            if (s > pos + pk.length) return false;
        }
        scan.packets.push_back(pk);
        pos += pk.length;
    }
    for (std::size_t i = 0; i < scan.fields.size(); ++i) {
        const Field& fd = scan.fields[i];
        std::vector<double> col;
        if (fd.type == "Float") {
            const std::size_t width = fd.single ? 4 : 8;
            for (std::size_t k = 0; k + width <= streams[i].size(); k += width) {
                if (fd.single) {
                    std::uint32_t bits = static_cast<std::uint32_t>(le(streams[i], k, 4));
                    float v;
                    std::memcpy(&v, &bits, 4);
                    col.push_back(v);
                } else {
                    std::uint64_t bits = le(streams[i], k, 8);
                    double v;
                    std::memcpy(&v, &bits, 8);
                    col.push_back(v);
                }
            }
        } else {
            const int bits = fd.bits();
            const std::uint64_t total =
                bits == 0 ? scan.recordCount : streams[i].size() * 8 / static_cast<unsigned>(bits);
            for (std::uint64_t k = 0; k < total && k < scan.recordCount; ++k) {
                std::uint64_t v = 0;
                for (int b = 0; b < bits; ++b) {
                    const std::uint64_t bit = k * static_cast<unsigned>(bits) + static_cast<unsigned>(b);
                    if ((static_cast<unsigned char>(streams[i][bit / 8]) >> (bit % 8)) & 1u) v |= std::uint64_t{1} << b;
                }
                col.push_back(static_cast<double>(fd.minimum + static_cast<long long>(v)));
            }
        }
        if (col.size() < scan.recordCount) return false;
        col.resize(scan.recordCount);
        scan.columns.push_back(std::move(col));
    }
    return true;
}

inline void read(File& f, const std::filesystem::path& path) {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    if (!in) {
        f.error = "cannot open";
        return;
    }
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, in)) > 0) f.physical.append(buf, n);
    std::fclose(in);
    if (f.physical.size() < 1024 || f.physical.size() % 1024 != 0) {
        f.error = "size is not a whole number of pages";
        return;
    }
    for (std::size_t p = 0; p < f.physical.size(); p += 1024) {
        const auto* page = reinterpret_cast<const unsigned char*>(f.physical.data() + p);
        const std::uint32_t stored = (std::uint32_t{page[1020]} << 24) | (std::uint32_t{page[1021]} << 16) |
                                     (std::uint32_t{page[1022]} << 8) | page[1023];
        if (stored != crc32cBitwise(page, 1020)) ++f.badChecksums;
        f.logical.append(f.physical, p, 1020);
    }
    if (f.logical.compare(0, 8, "ASTM-E57") != 0) {
        f.error = "no signature";
        return;
    }
    f.physicalLength = le(f.logical, 16, 8);
    f.xmlPhysicalOffset = le(f.logical, 24, 8);
    f.xmlLogicalLength = le(f.logical, 32, 8);
    f.pageSize = le(f.logical, 40, 8);
    const std::uint64_t xmlAt = toLogical(f.xmlPhysicalOffset);
    if (xmlAt + f.xmlLogicalLength > f.logical.size()) {
        f.error = "xml outside the file";
        return;
    }
    f.xml = f.logical.substr(xmlAt, f.xmlLogicalLength);
    if (!f.doc.load_buffer(f.xml.data(), f.xml.size())) {
        f.error = "xml does not parse";
        return;
    }
    for (pugi::xml_node child : f.doc.child("e57Root").child("data3D").children("vectorChild")) {
        Scan scan;
        scan.name = child.child("name").text().get();
        pugi::xml_node points = child.child("points");
        scan.fileOffset = points.attribute("fileOffset").as_ullong();
        scan.recordCount = points.attribute("recordCount").as_ullong();
        for (pugi::xml_node fd : points.child("prototype").children()) {
            Field field;
            field.name = fd.name();
            field.type = fd.attribute("type").value();
            field.single = std::string(fd.attribute("precision").value()) == "single";
            field.minimum = fd.attribute("minimum").as_llong();
            field.maximum = fd.attribute("maximum").as_llong();
            scan.fields.push_back(field);
        }
        if (!readSection(f, scan)) {
            f.error = "binary section of scan '" + scan.name + "' is malformed";
            return;
        }
        f.scans.push_back(std::move(scan));
    }
}

}  // namespace e57test
