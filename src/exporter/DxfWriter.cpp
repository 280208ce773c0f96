#include "exporter/DxfWriter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <iterator>
#include <numbers>
#include <set>
#include <string_view>

#include "exporter/ExportGeometry.h"
#include "exporter/detail/NumberText.h"
#include "exporter/detail/ScratchFile.h"
#include "platform/CodePages.h"
#include "platform/Numbers.h"

namespace exporter {

namespace {

constexpr double kDegrees = 180.0 / std::numbers::pi;

// Handles of the fixed records; entities and image objects count on from kFirstFreeHandle.
enum Handle : unsigned {
    kRootDictionary = 0xC,
    kGroupDictionary = 0xD,
    kImageDictionary = 0xE,
    kVportTable = 0x10,
    kLtypeTable = 0x11,
    kLayerTable = 0x12,
    kStyleTable = 0x13,
    kViewTable = 0x14,
    kUcsTable = 0x15,
    kAppidTable = 0x16,
    kDimstyleTable = 0x17,
    kBlockRecordTable = 0x18,
    kActiveVport = 0x20,
    kLtypeByBlock = 0x21,
    kLtypeByLayer = 0x22,
    kLtypeContinuous = 0x23,
    kStyleStandard = 0x24,
    kAppidAcad = 0x25,
    kAppidGeodraft = 0x26,
    kDimstyleStandard = 0x27,
    kModelSpaceRecord = 0x28,
    kPaperSpaceRecord = 0x29,
    kModelSpaceBlock = 0x2A,
    kModelSpaceEnd = 0x2B,
    kPaperSpaceBlock = 0x2C,
    kPaperSpaceEnd = 0x2D,
    kFirstLayerHandle = 0x40,
};

class DxfOut {
public:
    void group(int code, std::string_view value) {
        codeLine(code);
        text_ += value;
        text_ += '\n';
    }
    void number(int code, double v) {
        codeLine(code);
        detail::appendDecimal(text_, v, 6);
        text_ += '\n';
    }
    void integer(int code, long long v) {
        char buf[24];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
        group(code, std::string_view(buf, static_cast<std::size_t>(end - buf)));
    }
    void handle(int code, unsigned h) {
        char buf[16];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, h, 16);
        for (char* c = buf; c != end; ++c) *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
        group(code, std::string_view(buf, static_cast<std::size_t>(end - buf)));
    }
    void point(int code, double x, double y) {
        number(code, x);
        number(code + 10, y);
    }
    void point(int code, const host::HostPoint3& p) {
        number(code, p.x);
        number(code + 10, p.y);
        number(code + 20, p.z);
    }
    std::string take() { return std::move(text_); }
    std::size_t size() const { return text_.size(); }

private:
    // Group codes right-aligned in three columns, as AutoCAD writes them.
    void codeLine(int code) {
        char buf[16];
        auto [end, ec] = std::to_chars(buf, buf + sizeof buf, code);
        for (auto width = end - buf; width < 3; ++width) text_ += ' ';
        text_.append(buf, end);
        text_ += '\n';
    }
    std::string text_;
};

long long trueColour(const host::HostColour& c) {
    auto channel = [](double v) { return static_cast<long long>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0)); };
    return (channel(c.red) << 16) | (channel(c.green) << 8) | channel(c.blue);
}

// An index colour (10..249, the hue wheel of the standard palette) that follows the layer's hue.
int indexColour(const std::string& layerName) {
    const host::HostColour c = layerColour(layerName);
    const double maxC = std::max({c.red, c.green, c.blue}), minC = std::min({c.red, c.green, c.blue});
    double hue = 0.0;
    if (maxC > minC) {
        if (maxC == c.red) hue = std::fmod((c.green - c.blue) / (maxC - minC), 6.0);
        else if (maxC == c.green) hue = (c.blue - c.red) / (maxC - minC) + 2.0;
        else hue = (c.red - c.green) / (maxC - minC) + 4.0;
    }
    if (hue < 0) hue += 6.0;
    const int step = static_cast<int>(hue * 4.0) % 24;  // 24 hues, 10 shades each
    return 10 + step * 10;
}

}  // namespace

class DxfWriter::Impl {
public:
    Impl(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
         const std::filesystem::path& scratchNear)
        : model_(model),
          pictures_(pictures),
          entities_(scratchNear),
          layerNames_(dxfLayerNames(model)),
          nextHandle_(kFirstLayerHandle + static_cast<unsigned>(layerNames_.size())) {}

    void add(std::size_t element, const ElementMesh& mesh) {
        DxfOut o;
        entity(o, element, mesh);
        entities_.write(o.take());
    }

    bool finish(const std::filesystem::path& target, std::string& error) {
        std::string head = header() + classes() + tables() + blocks() + "  0\nSECTION\n  2\nENTITIES\n";
        std::string tail = "  0\nENDSEC\n" + objectsSection() + "  0\nEOF\n";
        const bool written =
            entities_.ok() && platform::writeFileAtomically(target, [&](const platform::ByteSink& sink) {
                return sink(head) && entities_.copyTo(sink) && sink(tail);
            });
        if (!written) error = "Nie mozna zapisac pliku: " + target.string();
        return written;
    }

    std::map<std::string, std::size_t> entitiesByLayer;
    std::size_t images = 0;

private:
    unsigned next() { return nextHandle_++; }

    const std::string& layerName(std::int32_t index) const {
        if (index >= 1 && static_cast<std::size_t>(index) < layerNames_.size())
            return layerNames_[static_cast<std::size_t>(index)];
        return layerNames_[0];
    }

    std::string header() {
        DxfOut o;
        o.group(0, "SECTION");
        o.group(2, "HEADER");
        o.group(9, "$ACADVER");
        o.group(1, "AC1015");
        o.group(9, "$DWGCODEPAGE");
        o.group(3, "ANSI_1250");
        o.group(9, "$INSBASE");
        o.point(10, host::HostPoint3{});
        o.group(9, "$INSUNITS");
        o.integer(70, 6);
        o.group(9, "$MEASUREMENT");
        o.integer(70, 1);
        o.group(9, "$HANDSEED");
        o.handle(5, nextHandle_);
        o.group(0, "ENDSEC");
        return o.take();
    }

    std::string classes() {
        DxfOut o;
        o.group(0, "SECTION");
        o.group(2, "CLASSES");
        struct ClassRow {
            const char* name;
            const char* cpp;
            int flags;
            int isEntity;
        };
        const ClassRow rows[] = {{"IMAGEDEF", "AcDbRasterImageDef", 0, 0},
                                 {"IMAGEDEF_REACTOR", "AcDbRasterImageDefReactor", 1, 0},
                                 {"IMAGE", "AcDbRasterImage", 127, 1}};
        for (const auto& r : rows) {
            o.group(0, "CLASS");
            o.group(1, r.name);
            o.group(2, r.cpp);
            o.group(3, "ISM");
            o.integer(90, r.flags);
            o.integer(280, 0);
            o.integer(281, r.isEntity);
        }
        o.group(0, "ENDSEC");
        return o.take();
    }

    void tableStart(DxfOut& o, const char* name, unsigned h, int count) {
        o.group(0, "TABLE");
        o.group(2, name);
        o.handle(5, h);
        o.handle(330, 0);
        o.group(100, "AcDbSymbolTable");
        o.integer(70, count);
    }

    void recordStart(DxfOut& o, const char* type, unsigned h, unsigned owner, const char* subclass) {
        o.group(0, type);
        o.handle(type == std::string("DIMSTYLE") ? 105 : 5, h);
        o.handle(330, owner);
        o.group(100, "AcDbSymbolTableRecord");
        o.group(100, subclass);
    }

    std::string tables() {
        DxfOut o;
        o.group(0, "SECTION");
        o.group(2, "TABLES");

        tableStart(o, "VPORT", kVportTable, 1);
        recordStart(o, "VPORT", kActiveVport, kVportTable, "AcDbViewportTableRecord");
        o.group(2, "*Active");
        o.integer(70, 0);
        o.point(10, 0.0, 0.0);
        o.point(11, 1.0, 1.0);
        o.point(12, 0.0, 0.0);
        o.number(40, 100.0);
        o.number(41, 1.5);
        o.group(0, "ENDTAB");

        tableStart(o, "LTYPE", kLtypeTable, 3);
        const std::pair<unsigned, const char*> ltypes[] = {
            {kLtypeByBlock, "ByBlock"}, {kLtypeByLayer, "ByLayer"}, {kLtypeContinuous, "Continuous"}};
        for (const auto& [h, name] : ltypes) {
            recordStart(o, "LTYPE", h, kLtypeTable, "AcDbLinetypeTableRecord");
            o.group(2, name);
            o.integer(70, 0);
            o.group(3, h == kLtypeContinuous ? "Solid line" : "");
            o.integer(72, 65);
            o.integer(73, 0);
            o.number(40, 0.0);
        }
        o.group(0, "ENDTAB");

        const std::vector<std::string>& names = layerNames_;
        tableStart(o, "LAYER", kLayerTable, static_cast<int>(names.size()));
        for (std::size_t i = 0; i < names.size(); ++i) {
            recordStart(o, "LAYER", kFirstLayerHandle + static_cast<unsigned>(i), kLayerTable, "AcDbLayerTableRecord");
            o.group(2, dxfString(names[i]));
            const bool hidden = i > 0 && model_.layers[i - 1].hidden;
            const bool locked = i > 0 && model_.layers[i - 1].locked;
            o.integer(70, locked ? 4 : 0);
            const int aci = i == 0 ? 7 : indexColour(names[i]);
            o.integer(62, hidden ? -aci : aci);  // a negative colour is how DXF marks a layer off
            if (i > 0) o.integer(420, trueColour(layerColour(names[i])));
            o.group(6, "Continuous");
            o.integer(370, -3);
            o.handle(390, 0);
        }
        o.group(0, "ENDTAB");

        tableStart(o, "STYLE", kStyleTable, 1);
        recordStart(o, "STYLE", kStyleStandard, kStyleTable, "AcDbTextStyleTableRecord");
        o.group(2, "Standard");
        o.integer(70, 0);
        o.number(40, 0.0);
        o.number(41, 1.0);
        o.number(50, 0.0);
        o.integer(71, 0);
        o.number(42, 2.5);
        o.group(3, "txt");
        o.group(4, "");
        o.group(0, "ENDTAB");

        tableStart(o, "VIEW", kViewTable, 0);
        o.group(0, "ENDTAB");
        tableStart(o, "UCS", kUcsTable, 0);
        o.group(0, "ENDTAB");

        tableStart(o, "APPID", kAppidTable, 2);
        const std::pair<unsigned, const char*> apps[] = {{kAppidAcad, "ACAD"}, {kAppidGeodraft, "GEODRAFT"}};
        for (const auto& [h, name] : apps) {
            recordStart(o, "APPID", h, kAppidTable, "AcDbRegAppTableRecord");
            o.group(2, name);
            o.integer(70, 0);
        }
        o.group(0, "ENDTAB");

        tableStart(o, "DIMSTYLE", kDimstyleTable, 1);
        o.group(100, "AcDbDimStyleTable");
        recordStart(o, "DIMSTYLE", kDimstyleStandard, kDimstyleTable, "AcDbDimStyleTableRecord");
        o.group(2, "Standard");
        o.integer(70, 0);
        o.group(0, "ENDTAB");

        tableStart(o, "BLOCK_RECORD", kBlockRecordTable, 2);
        const std::pair<unsigned, const char*> records[] = {{kModelSpaceRecord, "*Model_Space"},
                                                            {kPaperSpaceRecord, "*Paper_Space"}};
        for (const auto& [h, name] : records) {
            recordStart(o, "BLOCK_RECORD", h, kBlockRecordTable, "AcDbBlockTableRecord");
            o.group(2, name);
            o.handle(340, 0);
        }
        o.group(0, "ENDTAB");

        o.group(0, "ENDSEC");
        return o.take();
    }

    std::string blocks() {
        DxfOut o;
        o.group(0, "SECTION");
        o.group(2, "BLOCKS");
        struct Row {
            unsigned begin, end, record;
            const char* name;
        };
        const Row rows[] = {{kModelSpaceBlock, kModelSpaceEnd, kModelSpaceRecord, "*Model_Space"},
                            {kPaperSpaceBlock, kPaperSpaceEnd, kPaperSpaceRecord, "*Paper_Space"}};
        for (const auto& r : rows) {
            o.group(0, "BLOCK");
            o.handle(5, r.begin);
            o.handle(330, r.record);
            o.group(100, "AcDbEntity");
            o.group(8, "0");
            o.group(100, "AcDbBlockBegin");
            o.group(2, r.name);
            o.integer(70, 0);
            o.point(10, host::HostPoint3{});
            o.group(3, r.name);
            o.group(1, "");
            o.group(0, "ENDBLK");
            o.handle(5, r.end);
            o.handle(330, r.record);
            o.group(100, "AcDbEntity");
            o.group(8, "0");
            o.group(100, "AcDbBlockEnd");
        }
        o.group(0, "ENDSEC");
        return o.take();
    }

    void entityStart(DxfOut& o, const char* type, unsigned h, const std::string& layer) {
        o.group(0, type);
        o.handle(5, h);
        o.handle(330, kModelSpaceRecord);
        o.group(100, "AcDbEntity");
        o.group(8, dxfString(layer));
    }

    void polyline(DxfOut& o, const host::PolylineElement& p, const std::string& layer) {
        entityStart(o, "LWPOLYLINE", next(), layer);
        o.group(100, "AcDbPolyline");
        o.integer(90, static_cast<long long>(p.points.size()));
        o.integer(70, 0);  // drawn as stored: a ring repeats its first point
        for (std::size_t i = 0; i < p.points.size(); ++i) {
            o.point(10, p.points[i].x, p.points[i].y);
            const double angle = i + 1 < p.points.size() ? segmentArcAngle(p, i) : 0.0;
            if (angle != 0.0) o.number(42, std::tan(angle / 4.0));
        }
    }

    void text(DxfOut& o, const host::TextElement& t, const std::string& layer) {
        const bool multiline = t.content.find('\n') != std::string::npos;
        // The letter size becomes metres of height, as a millimetre on paper is at 1:1000.
        const double height = t.size > 0 ? t.size : 1.0;
        if (multiline) {
            entityStart(o, "MTEXT", next(), layer);
            o.group(100, "AcDbMText");
            o.point(10, host::HostPoint3{t.position.x, t.position.y, 0.0});
            o.number(40, height);
            o.integer(71, t.anchor == 4 ? 5 : 7);  // middle centre, else bottom left
            o.integer(72, 1);
            std::string content;
            for (char c : t.content) {
                if (c == '\n') content += "\\P";
                else if (c == '\\' || c == '{' || c == '}') content += std::string("\\") + c;  // format codes
                else if (c != '\r') content += c;
            }
            o.group(1, dxfString(content));
            o.number(50, t.angle * kDegrees);
            return;
        }
        entityStart(o, "TEXT", next(), layer);
        o.group(100, "AcDbText");
        o.point(10, host::HostPoint3{t.position.x, t.position.y, 0.0});
        o.number(40, height);
        o.group(1, dxfString(t.content));
        o.number(50, t.angle * kDegrees);
        if (t.widthFactor > 0 && t.widthFactor != 100.0) o.number(41, t.widthFactor / 100.0);
        if (t.anchor == 4) {
            o.integer(72, 1);
            o.point(11, host::HostPoint3{t.position.x, t.position.y, 0.0});
        }
        o.group(100, "AcDbText");
        if (t.anchor == 4) o.integer(73, 2);
    }

    void hatch(DxfOut& o, const host::FillElement& f, const std::string& layer) {
        const host::Attribute* fillAttr = nullptr;
        const auto index = static_cast<std::size_t>(f.fillType);
        if (index >= 1 && index <= model_.fills.size()) fillAttr = &model_.fills[index - 1];
        const bool solid = fillAttr && fillAttr->fillKind == host::kFillSolid;
        entityStart(o, "HATCH", next(), layer);
        if (f.useOwnColour) o.integer(420, trueColour(f.ownColour));
        o.group(100, "AcDbHatch");
        o.point(10, host::HostPoint3{});
        o.point(210, host::HostPoint3{0, 0, 1});
        o.group(2, solid ? "SOLID" : "ANSI31");
        o.integer(70, solid ? 1 : 0);
        o.integer(71, 0);
        o.integer(91, static_cast<long long>(f.contours.size()));
        for (std::size_t r = 0; r < f.contours.size(); ++r) {
            std::vector<host::HostPoint2> ring = f.contours[r];
            while (ring.size() >= 2 && ring.front() == ring.back()) ring.pop_back();
            o.integer(92, r == 0 ? 3 : 2);  // polyline path; the first is the outline
            o.integer(72, 0);
            o.integer(73, 1);
            o.integer(93, static_cast<long long>(ring.size()));
            for (const auto& p : ring) o.point(10, p.x, p.y);
            o.integer(97, 0);
        }
        o.integer(75, 0);
        o.integer(76, 1);
        if (!solid) {
            o.number(52, 0.0);
            o.number(41, 1.0);
            o.integer(77, 0);
            o.integer(78, 1);
            o.number(53, 45.0);
            o.point(43, 0.0, 0.0);
            o.point(45, -0.0883883476, 0.0883883476);
            o.integer(79, 0);
        }
        o.integer(98, 0);
        if (fillAttr) {
            // The project's fill name travels with the hatch, since the pattern only stands in for it.
            o.group(1001, "GEODRAFT");
            o.group(1000, dxfString(fillAttr->name));
        }
    }

    // One polyface mesh of the element's triangles (or of a part of them, with its own copy of the points it
    // uses). Vertex numbers are 16-bit in the format, so a mesh of more points takes several entities.
    void polyface(DxfOut& o, const ElementMesh& mesh, const std::string& layer, const std::string& id) {
        constexpr std::size_t kMaxVertices = 32767;
        const std::size_t count = mesh.triangleCount();
        // Triangles by their lowest point number: the points of a terrain come row by row, so the parts become
        // bands sharing only their edges.
        std::vector<std::uint32_t> order(count);
        for (std::uint32_t t = 0; t < count; ++t) order[t] = t;
        if (mesh.points.size() > kMaxVertices) {
            auto lowest = [&](std::uint32_t t) {
                return std::min({mesh.triangles[3 * t], mesh.triangles[3 * t + 1], mesh.triangles[3 * t + 2]});
            };
            std::stable_sort(order.begin(), order.end(),
                             [&](std::uint32_t a, std::uint32_t b) { return lowest(a) < lowest(b); });
        }
        const std::string fileLayer = dxfString(layer);
        std::vector<std::uint32_t> local(mesh.points.size(), 0);  // 1-based number in the current part
        std::vector<std::uint32_t> used;
        std::size_t begin = 0;
        while (begin < count) {
            used.clear();
            std::size_t end = begin;
            for (; end < count; ++end) {
                const std::uint32_t* t = &mesh.triangles[3 * order[end]];
                std::size_t fresh = 0;
                for (int k = 0; k < 3; ++k) fresh += local[t[k]] == 0 ? 1 : 0;
                if (used.size() + fresh > kMaxVertices) break;
                for (int k = 0; k < 3; ++k)
                    if (local[t[k]] == 0) {
                        used.push_back(t[k]);
                        local[t[k]] = static_cast<std::uint32_t>(used.size());
                    }
            }
            const unsigned owner = next();
            entityStart(o, "POLYLINE", owner, layer);
            o.group(100, "AcDbPolyFaceMesh");
            o.integer(66, 1);
            o.point(10, host::HostPoint3{});
            o.integer(70, 64);
            o.integer(71, static_cast<long long>(used.size()));
            o.integer(72, static_cast<long long>(end - begin));
            // The element's id, so that the parts of one element can be told from the file.
            o.group(1001, "GEODRAFT");
            o.group(1000, dxfString(id));
            for (std::uint32_t k : used) {
                subEntityStart(o, "VERTEX", owner, fileLayer);
                o.group(100, "AcDbVertex");
                o.group(100, "AcDbPolyFaceMeshVertex");
                o.point(10, mesh.points[k]);
                o.integer(70, 192);
            }
            for (std::size_t i = begin; i < end; ++i) {
                subEntityStart(o, "VERTEX", owner, fileLayer);
                o.group(100, "AcDbFaceRecord");
                o.integer(70, 128);
                const std::uint32_t* t = &mesh.triangles[3 * order[i]];
                for (int k = 0; k < 3; ++k) o.integer(71 + k, local[t[k]]);
            }
            subEntityStart(o, "SEQEND", owner, fileLayer);
            ++entitiesByLayer[layer];
            for (std::uint32_t k : used) local[k] = 0;
            begin = end;
        }
    }

    // `fileLayer`: the layer name as the file stores it (dxfString).
    void subEntityStart(DxfOut& o, const char* type, unsigned owner, const std::string& fileLayer) {
        o.group(0, type);
        o.handle(5, next());
        o.handle(330, owner);
        o.group(100, "AcDbEntity");
        o.group(8, fileLayer);
    }

    void image(DxfOut& o, const host::PictureElement& p, const ExportedPicture& pic, const std::string& layer) {
        const unsigned entity = next(), def = next(), reactor = next();
        imageDefs_.push_back({def, reactor, entity, pic});
        entityStart(o, "IMAGE", entity, layer);
        o.group(100, "AcDbRasterImage");
        o.integer(90, 0);
        o.point(10, host::HostPoint3{p.boxMin.x, p.boxMin.y, 0.0});
        const double w = std::max(1, pic.pixelWidth), h = std::max(1, pic.pixelHeight);
        const double width = p.boxMax.x - p.boxMin.x, height = p.boxMax.y - p.boxMin.y;
        const double c = std::cos(p.angle), s = std::sin(p.angle);
        o.point(11, host::HostPoint3{c * width / w, s * width / w, 0.0});
        o.point(12, host::HostPoint3{-s * height / h, c * height / h, 0.0});
        o.point(13, w, h);
        o.handle(340, def);
        o.integer(70, 7);
        o.integer(280, 0);
        o.integer(281, 50);
        o.integer(282, 50);
        o.integer(283, 0);
        o.handle(360, reactor);
        o.integer(71, 1);
        o.integer(91, 2);
        o.point(14, -0.5, -0.5);
        o.point(14, w - 0.5, h - 0.5);
    }

    void entity(DxfOut& o, std::size_t i, const ElementMesh& mesh) {
        const model::StoredElement& el = model_.elements[i];
        const std::string& layer = layerName(el.header.layer);
        if (const auto* p = std::get_if<host::PolylineElement>(&el.body)) {
            polyline(o, *p, layer);
            ++entitiesByLayer[layer];
        } else if (const auto* t = std::get_if<host::TextElement>(&el.body)) {
            text(o, *t, layer);
            ++entitiesByLayer[layer];
        } else if (const auto* f = std::get_if<host::FillElement>(&el.body)) {
            if (f->contours.empty()) return;
            hatch(o, *f, layer);
            ++entitiesByLayer[layer];
        } else if (const auto* pic = std::get_if<host::PictureElement>(&el.body)) {
            for (const ExportedPicture& written : pictures_)
                if (written.element == i) {
                    image(o, *pic, written, layer);
                    ++images;
                }
        } else if (!mesh.triangles.empty()) {
            polyface(o, mesh, layer, el.header.id);
        }
    }

    std::string objectsSection() {
        DxfOut o;
        o.group(0, "SECTION");
        o.group(2, "OBJECTS");
        o.group(0, "DICTIONARY");
        o.handle(5, kRootDictionary);
        o.handle(330, 0);
        o.group(100, "AcDbDictionary");
        o.integer(281, 1);
        o.group(3, "ACAD_GROUP");
        o.handle(350, kGroupDictionary);
        o.group(3, "ACAD_IMAGE_DICT");
        o.handle(350, kImageDictionary);

        o.group(0, "DICTIONARY");
        o.handle(5, kGroupDictionary);
        o.handle(330, kRootDictionary);
        o.group(100, "AcDbDictionary");
        o.integer(281, 1);

        o.group(0, "DICTIONARY");
        o.handle(5, kImageDictionary);
        o.handle(330, kRootDictionary);
        o.group(100, "AcDbDictionary");
        o.integer(281, 1);
        for (const auto& d : imageDefs_) {
            o.group(3, dxfString(std::filesystem::path(d.picture.relativePath).stem().string()));
            o.handle(350, d.def);
        }
        for (const auto& d : imageDefs_) {
            o.group(0, "IMAGEDEF");
            o.handle(5, d.def);
            o.group(102, "{ACAD_REACTORS");
            o.handle(330, kImageDictionary);
            o.handle(330, d.reactor);
            o.group(102, "}");
            o.handle(330, kImageDictionary);
            o.group(100, "AcDbRasterImageDef");
            o.integer(90, 0);
            o.group(1, dxfString(d.picture.relativePath));
            o.point(10, std::max(1, d.picture.pixelWidth), std::max(1, d.picture.pixelHeight));
            o.point(11, 1.0, 1.0);
            o.integer(280, 1);
            o.integer(281, 0);

            o.group(0, "IMAGEDEF_REACTOR");
            o.handle(5, d.reactor);
            o.handle(330, d.entity);
            o.group(100, "AcDbRasterImageDefReactor");
            o.integer(90, 2);
            o.handle(330, d.entity);
        }
        o.group(0, "ENDSEC");
        return o.take();
    }

    struct ImageDef {
        unsigned def, reactor, entity;
        ExportedPicture picture;
    };

    const ModelSnapshot& model_;
    const std::vector<ExportedPicture>& pictures_;
    std::vector<ImageDef> imageDefs_;
    detail::ScratchFile entities_;
    std::vector<std::string> layerNames_;
    unsigned nextHandle_;  // the first handle after the layer records
};

std::string dxfString(const std::string& utf8) {
    const std::string text = model::validUtf8(utf8);
    std::string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        std::uint32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < len; ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        i += len;
        // Windows-1250 is the code page Polish drawings are stored in.
        static const platform::CodePageHigh& cp1250 = *platform::codePageFor("windows-1250");
        const auto byte = std::find(cp1250.begin(), cp1250.end(), cp);
        if (cp != platform::kUndefinedCodePoint && byte != cp1250.end()) {
            out += static_cast<char>(0x80 + (byte - cp1250.begin()));
        } else {
            // Outside the code page: AutoCAD's escape (four hex digits; beyond them a '?').
            out += cp <= 0xFFFF ? platform::cformat("\\U+%04X", static_cast<unsigned>(cp)) : std::string("?");
        }
    }
    return out;
}

std::vector<std::string> dxfLayerNames(const ModelSnapshot& model) {
    std::vector<std::string> names = {"0"};
    std::set<std::string> taken = {"0"};
    auto folded = [](std::string name) {  // names are compared without regard to ASCII case
        for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return name;
    };
    for (const auto& layer : model.layers) {
        std::string name;
        for (char c : model::validUtf8(layer.name)) {
            if (static_cast<unsigned char>(c) < 0x20) continue;
            name += std::string_view("<>/\\\":;?*|=`").find(c) == std::string_view::npos ? c : '_';
        }
        while (!name.empty() && name.back() == ' ') name.pop_back();
        while (!name.empty() && name.front() == ' ') name.erase(name.begin());
        if (name.empty()) name = "_";
        std::string unique = name;
        for (int n = 2; taken.count(folded(unique)); ++n) unique = name + "_" + std::to_string(n);
        taken.insert(folded(unique));
        names.push_back(unique);
    }
    return names;
}

DxfWriter::DxfWriter(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
                     const std::filesystem::path& scratchNear)
    : impl_(std::make_unique<Impl>(model, pictures, scratchNear)) {}
DxfWriter::~DxfWriter() = default;
void DxfWriter::add(std::size_t element, const ElementMesh& mesh) { impl_->add(element, mesh); }
bool DxfWriter::finish(const std::filesystem::path& target, std::string& error) { return impl_->finish(target, error); }
const std::map<std::string, std::size_t>& DxfWriter::entitiesByLayer() const { return impl_->entitiesByLayer; }
std::size_t DxfWriter::images() const { return impl_->images; }

}  // namespace exporter
