#include "exporter/IfcWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <numbers>

#include "exporter/ExportGeometry.h"
#include "exporter/detail/NumberText.h"
#include "geodesy/Crs.h"
#include "platform/Paths.h"

namespace exporter {

namespace {

constexpr int kDecimals = 6;  // micrometres: finer than any coordinate the project holds

// A STEP string: quotes and backslashes doubled, characters beyond ASCII as \X2\ UTF-16 hex, controls dropped.
std::string stepString(const std::string& utf8) {
    const std::string text = model::validUtf8(utf8);
    std::string out = "'";
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char c = s[i];
        if (c < 0x80) {
            if (c == '\'') out += "''";
            else if (c == '\\') out += "\\\\";
            else if (c >= 0x20 && c != 0x7F) out += static_cast<char>(c);
            ++i;
            continue;
        }
        const std::size_t len = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        std::uint32_t cp = c & (len == 2 ? 0x1F : len == 3 ? 0x0F : 0x07);
        for (std::size_t k = 1; k < len && i + k < text.size(); ++k) cp = (cp << 6) | (s[i + k] & 0x3F);
        i += len;
        std::array<std::uint32_t, 2> units{cp, 0};
        std::size_t n = 1;
        if (cp > 0xFFFF) units = {0xD800 + ((cp - 0x10000) >> 10), 0xDC00 + ((cp - 0x10000) & 0x3FF)}, n = 2;
        out += "\\X2\\";
        for (std::size_t k = 0; k < n; ++k) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "%04X", static_cast<unsigned>(units[k]));
            out += hex;
        }
        out += "\\X0\\";
    }
    return out + "'";
}

// A STEP real: always with a decimal point.
std::string real(double v) {
    std::string out;
    detail::appendDecimal(out, v, kDecimals, true);
    return out;
}

// A direction cosine or scale: all the digits a double has.
std::string ratio(double v) {
    if (!std::isfinite(v)) v = 0.0;
    char buf[40];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15);
    std::string s(buf, end);
    const auto e = s.find('e');
    std::string mantissa = s.substr(0, e), exponent = e == std::string::npos ? "" : "E" + s.substr(e + 1);
    if (mantissa.find('.') == std::string::npos) mantissa += '.';
    return mantissa + exponent;
}

std::string point3(const host::HostPoint3& p) { return "(" + real(p.x) + "," + real(p.y) + "," + real(p.z) + ")"; }
std::string point2(double x, double y) { return "(" + real(x) + "," + real(y) + ")"; }

// The 22-character IFC form of 128 bits.
std::string compressGuid(const std::array<std::uint8_t, 16>& bytes) {
    static const char* digits = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz_$";
    std::string out;
    out += digits[bytes[0] >> 6];
    out += digits[bytes[0] & 0x3F];
    for (std::size_t i = 1; i < 16; i += 3) {
        const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) | (std::uint32_t{bytes[i + 1]} << 8) | bytes[i + 2];
        for (int k = 3; k >= 0; --k) out += digits[(v >> (6 * k)) & 0x3F];
    }
    return out;
}

// An element's own identifier when it is a GUID text, else 128 bits hashed from the text: the same model
// always gives the same identifiers.
std::string ifcGuid(const std::string& text) {
    std::array<std::uint8_t, 16> bytes{};
    std::size_t n = 0;
    for (char c : text) {
        if (c == '-' || c == '{' || c == '}') continue;
        const int v = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
        if (v < 0 || n >= 32) {
            n = 33;
            break;
        }
        bytes[n / 2] = static_cast<std::uint8_t>(bytes[n / 2] | (n % 2 == 0 ? v << 4 : v));
        ++n;
    }
    if (n != 32) {
        // Two FNV-1a runs with different offsets give the 128 bits.
        std::uint64_t h1 = 14695981039346656037ull, h2 = 1099511628211ull * 31;
        for (unsigned char c : text) {
            h1 = (h1 ^ c) * 1099511628211ull;
            h2 = (h2 ^ c) * 1099511628211ull + 0x9E3779B97F4A7C15ull;
        }
        for (int k = 0; k < 8; ++k) {
            bytes[static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(h1 >> (8 * k));
            bytes[static_cast<std::size_t>(8 + k)] = static_cast<std::uint8_t>(h2 >> (8 * k));
        }
    }
    return compressGuid(bytes);
}

std::string ref(std::uint64_t id) { return "#" + std::to_string(id); }

std::string refList(const std::vector<std::uint64_t>& ids) {
    std::string out = "(";
    for (std::size_t i = 0; i < ids.size(); ++i) out += (i ? "," : "") + ref(ids[i]);
    return out + ")";
}

std::string colourKey(const std::string& name, const host::HostColour& c) {
    return name + "|" + real(c.red) + "|" + real(c.green) + "|" + real(c.blue);
}

// Degrees, minutes, seconds and millionths of a second, all of the angle's sign.
std::string compoundAngle(double degrees) {
    const double sign = degrees < 0 ? -1.0 : 1.0;
    long long micro = std::llround(std::abs(degrees) * 3600.0 * 1e6);
    const long long d = micro / 3600000000LL;
    micro %= 3600000000LL;
    const long long m = micro / 60000000LL;
    micro %= 60000000LL;
    const long long s = micro / 1000000LL;
    micro %= 1000000LL;
    auto v = [&](long long x) { return std::to_string(static_cast<long long>(sign) * x); };
    return "(" + v(d) + "," + v(m) + "," + v(s) + "," + v(micro) + ")";
}

const char* kindName(const model::ElementBody& body) {
    static const char* names[] = {"Linia", "Tekst", "Wypelnienie", "Siatka", "Strop", "Bryla", "Obraz"};
    return names[body.index()];
}

}  // namespace

IfcWriter::IfcWriter(const ModelSnapshot& model, const std::vector<ExportedPicture>& pictures,
                     const std::filesystem::path& scratchNear)
    : model_(model), pictures_(pictures), body_(scratchNear) {
    const host::GeoLocation& g = model.geoLocation;
    // The project's own identifiers follow from where it lies and its first element.
    seed_ = g.crsName + "|" + real(g.surveyEasting) + "|" + real(g.surveyNorthing) + "|" +
            (model.elements.empty() ? std::string() : model.elements.front().header.id) + "|";
    std::string& h = head_;
    const Id person = emit(h, "IFCPERSON($,$,'',$,$,$,$,$)");
    const Id organization = emit(h, "IFCORGANIZATION($,'Geodraft',$,$,$)");
    const Id user = emit(h, "IFCPERSONANDORGANIZATION(" + ref(person) + "," + ref(organization) + ",$)");
    const Id application = emit(h, "IFCAPPLICATION(" + ref(organization) + ",'1','Geodraft','geodraft')");
    ownerHistory_ = emit(h, "IFCOWNERHISTORY(" + ref(user) + "," + ref(application) + ",$,.NOCHANGE.,$,$,$,0)");
    const Id metre = emit(h, "IFCSIUNIT(*,.LENGTHUNIT.,$,.METRE.)");
    const Id area = emit(h, "IFCSIUNIT(*,.AREAUNIT.,$,.SQUARE_METRE.)");
    const Id volume = emit(h, "IFCSIUNIT(*,.VOLUMEUNIT.,$,.CUBIC_METRE.)");
    const Id radian = emit(h, "IFCSIUNIT(*,.PLANEANGLEUNIT.,$,.RADIAN.)");
    const Id units = emit(h, "IFCUNITASSIGNMENT(" + refList({metre, area, volume, radian}) + ")");
    const Id origin = emit(h, "IFCCARTESIANPOINT((0.,0.,0.))");
    const Id world = emit(h, "IFCAXIS2PLACEMENT3D(" + ref(origin) + ",$,$)");
    origin2d_ = emit(h, "IFCCARTESIANPOINT((0.,0.))");

    // Rotation of the project's axes against the grid's: the grid's x axis seen in the project.
    double cosA = 1.0, sinA = 0.0;
    if (std::isfinite(g.xAxisAbscissa) && std::isfinite(g.xAxisOrdinate) &&
        (g.xAxisAbscissa != 0.0 || g.xAxisOrdinate != 0.0)) {
        const double a = std::atan2(g.xAxisOrdinate, g.xAxisAbscissa);
        cosA = std::cos(a), sinA = std::sin(a);
    }
    const int epsg = geodesy::epsgFromCrsText(g.crsName);
    georeferenced_ = epsg >= 2176 && epsg <= 2180 && (g.surveyEasting != 0.0 || g.surveyNorthing != 0.0);
    // True north in project axes: the meridian through the survey point, turned by the grid's convergence.
    std::string trueNorth = "$";
    double lat = g.latitude, lon = g.longitude;
    if (georeferenced_) {
        const geodesy::LatLon here = epsg == 2180 ? geodesy::pl1992ToWgs84(g.surveyEasting, g.surveyNorthing)
                                                  : geodesy::pl2000ToWgs84(g.surveyEasting, g.surveyNorthing, epsg);
        const geodesy::PlanarPoint north =
            epsg == 2180 ? geodesy::wgs84ToPl1992(here.lat + 1e-4, here.lon)
                         : geodesy::pl1992ToPl2000(geodesy::wgs84ToPl1992(here.lat + 1e-4, here.lon), epsg);
        const double de = north.x - g.surveyEasting, dn = north.y - g.surveyNorthing;
        const double len = std::hypot(de, dn);
        if (len > 0) {
            trueNorth = ref(emit(h, "IFCDIRECTION((" + ratio((cosA * de + sinA * dn) / len) + "," +
                                        ratio((-sinA * de + cosA * dn) / len) + "))"));
        }
        lat = here.lat, lon = here.lon;
    }
    const Id context =
        emit(h, "IFCGEOMETRICREPRESENTATIONCONTEXT($,'Model',3,1.E-05," + ref(world) + "," + trueNorth + ")");
    bodyContext_ =
        emit(h, "IFCGEOMETRICREPRESENTATIONSUBCONTEXT('Body','Model',*,*,*,*," + ref(context) + ",$,.MODEL_VIEW.,$)");
    planContext_ = emit(
        h, "IFCGEOMETRICREPRESENTATIONSUBCONTEXT('Annotation','Plan',*,*,*,*," + ref(context) + ",$,.PLAN_VIEW.,$)");
    const Id project = emit(h, "IFCPROJECT('" + ifcGuid(seed_ + "project") + "'," + ref(ownerHistory_) +
                                   ",'Geodraft',$,$,$,$,(" + ref(context) + ")," + ref(units) + ")");
    if (georeferenced_) {
        const std::string name = "EPSG:" + std::to_string(epsg);
        const std::string datum = g.geodeticDatum.empty() ? "ETRF2000-PL" : g.geodeticDatum;
        const std::string vertical = g.verticalDatum.empty() ? "PL-EVRF2007-NH" : g.verticalDatum;
        const std::string projection = !g.mapProjection.empty() ? g.mapProjection
                                       : epsg == 2180           ? "PL-1992"
                                                                : "PL-2000";
        const std::string zone = !g.mapZone.empty() ? g.mapZone : epsg == 2180 ? "" : std::to_string(epsg - 2171);
        const Id crs = emit(h, "IFCPROJECTEDCRS(" + stepString(name) + ",$," + stepString(datum) + "," +
                                   stepString(vertical) + "," + stepString(projection) + "," +
                                   (zone.empty() ? std::string("$") : stepString(zone)) + "," + ref(metre) + ")");
        const double scale = std::isfinite(g.scale) && g.scale > 0 ? g.scale : 1.0;
        emit(h, "IFCMAPCONVERSION(" + ref(context) + "," + ref(crs) + "," + real(g.surveyEasting) + "," +
                    real(g.surveyNorthing) + "," + real(std::isfinite(g.surveyHeight) ? g.surveyHeight : 0.0) + "," +
                    ratio(cosA) + "," + ratio(sinA) + "," + ratio(scale) + ")");
    }
    const Id sitePlacement = emit(h, "IFCLOCALPLACEMENT($," + ref(world) + ")");
    elementPlacement_ = emit(h, "IFCLOCALPLACEMENT(" + ref(sitePlacement) + "," + ref(world) + ")");
    std::string where = "$,$,";
    if (lat != 0.0 || lon != 0.0) where = compoundAngle(lat) + "," + compoundAngle(lon) + ",";
    where += real(std::isfinite(g.surveyHeight) ? g.surveyHeight : 0.0);
    site_ = emit(h, "IFCSITE('" + ifcGuid(seed_ + "site") + "'," + ref(ownerHistory_) + ",'Teren',$,$," +
                        ref(sitePlacement) + ",$,$,.ELEMENT.," + where + ",$,$)");
    emit(h, "IFCRELAGGREGATES('" + ifcGuid(seed_ + "aggregates") + "'," + ref(ownerHistory_) + ",$,$," + ref(project) +
                ",(" + ref(site_) + "))");
}

IfcWriter::Id IfcWriter::emit(std::string& out, const std::string& entity) {
    const Id id = next();
    out += "#" + std::to_string(id) + "=" + entity + ";\n";
    return id;
}

IfcWriter::Id IfcWriter::surfaceStyle(const std::string& name, const host::HostColour& c, Id texture) {
    const std::string key = colourKey(name, c) + (texture ? "|" + std::to_string(texture) : "");
    if (auto it = styles_.find(key); it != styles_.end()) return it->second;
    std::string out;
    const Id colour =
        emit(out, "IFCCOLOURRGB($," + real(std::clamp(c.red, 0.0, 1.0)) + "," + real(std::clamp(c.green, 0.0, 1.0)) +
                      "," + real(std::clamp(c.blue, 0.0, 1.0)) + ")");
    const Id shading = emit(out, "IFCSURFACESTYLESHADING(" + ref(colour) + ",0.)");
    std::string styles = ref(shading);
    if (texture) styles += "," + ref(emit(out, "IFCSURFACESTYLEWITHTEXTURES((" + ref(texture) + "))"));
    const Id style = emit(out, "IFCSURFACESTYLE(" + stepString(name) + ",.BOTH.,(" + styles + "))");
    body_.write(out);
    return styles_[key] = style;
}

IfcWriter::Id IfcWriter::faceSet(const ElementMesh& mesh, bool closed) {
    std::string out = "IFCCARTESIANPOINTLIST3D((";
    for (std::size_t i = 0; i < mesh.points.size(); ++i) {
        if (i) out += ',';
        out += point3(mesh.points[i]);
    }
    out += "))";
    std::string text;
    const Id points = emit(text, out);
    out = "IFCTRIANGULATEDFACESET(" + ref(points) + ",$," + (closed ? ".T." : ".F.") + ",(";
    for (std::size_t t = 0; t + 2 < mesh.triangles.size(); t += 3) {
        if (t) out += ',';
        out += "(" + std::to_string(mesh.triangles[t] + 1) + "," + std::to_string(mesh.triangles[t + 1] + 1) + "," +
               std::to_string(mesh.triangles[t + 2] + 1) + ")";
    }
    out += "),$)";
    const Id set = emit(text, out);
    body_.write(text);
    return set;
}

IfcWriter::Id IfcWriter::product(std::size_t element, const char* entity, const std::string& name,
                                 const std::string& objectType, Id shape, const char* predefined) {
    const model::StoredElement& el = model_.elements[element];
    std::string out;
    std::string text = std::string(entity) + "('" + ifcGuid(el.header.id) + "'," + ref(ownerHistory_) + "," +
                       stepString(name) + ",$," + stepString(objectType) + "," + ref(elementPlacement_) + "," +
                       ref(shape);
    if (predefined) text += std::string(",") + (el.idText.empty() ? "$" : stepString(el.idText)) + "," + predefined;
    const Id id = emit(out, text + ")");
    body_.write(out);
    products_.push_back(id);
    return id;
}

void IfcWriter::properties(std::size_t element, Id productId) {
    const model::StoredElement& el = model_.elements[element];
    std::string out;
    std::vector<Id> values;
    auto value = [&](const char* name, const std::string& typed) {
        values.push_back(emit(out, "IFCPROPERTYSINGLEVALUE(" + stepString(name) + ",$," + typed + ",$)"));
    };
    value("Identyfikator", "IFCIDENTIFIER(" + stepString(el.header.id) + ")");
    if (!el.idText.empty()) value("Id", "IFCIDENTIFIER(" + stepString(el.idText) + ")");
    value("Rodzaj", "IFCLABEL(" + stepString(kindName(el.body)) + ")");
    value("Warstwa", "IFCLABEL(" + stepString(exportLayerName(model_, el.header.layer)) + ")");
    if (const host::Attribute* m = elementMaterial(model_, el))
        value("Material", "IFCLABEL(" + stepString(m->name) + ")");
    if (const auto* slab = std::get_if<host::SlabElement>(&el.body)) {
        value("Poziom", "IFCLENGTHMEASURE(" + real(slab->level) + ")");
        value("Grubosc", "IFCPOSITIVELENGTHMEASURE(" + real(std::max(std::abs(slab->thickness), 1e-6)) + ")");
    } else if (const auto* mesh = std::get_if<host::MeshElement>(&el.body)) {
        value("Poziom", "IFCLENGTHMEASURE(" + real(mesh->level) + ")");
    } else if (const auto* text = std::get_if<host::TextElement>(&el.body)) {
        value("Tresc", "IFCTEXT(" + stepString(text->content) + ")");
        value("Wysokosc", "IFCLENGTHMEASURE(" + real(text->size) + ")");
    } else if (const auto* fill = std::get_if<host::FillElement>(&el.body)) {
        const auto index = static_cast<std::size_t>(fill->fillType);
        if (index >= 1 && index <= model_.fills.size())
            value("Wypelnienie", "IFCLABEL(" + stepString(model_.fills[index - 1].name) + ")");
    }
    const Id set = emit(out, "IFCPROPERTYSET('" + ifcGuid(el.header.id + "/pset") + "'," + ref(ownerHistory_) +
                                 ",'Geodraft',$," + refList(values) + ")");
    emit(out, "IFCRELDEFINESBYPROPERTIES('" + ifcGuid(el.header.id + "/rel") + "'," + ref(ownerHistory_) + ",$,$,(" +
                  ref(productId) + ")," + ref(set) + ")");
    body_.write(out);
}

void IfcWriter::add(std::size_t element, const ElementMesh& mesh) {
    const model::StoredElement& el = model_.elements[element];
    const std::string layer = exportLayerName(model_, model::elementLayerOf(el.body));
    const std::string name = el.idText.empty() ? kindName(el.body) : el.idText;
    const host::Attribute* material = elementMaterial(model_, el);
    std::string out;
    Id item = 0, representation = 0, style = 0;
    const char* entity = "IFCANNOTATION";
    const char* predefined = nullptr;
    if (!mesh.triangles.empty()) {
        const bool solid = mesh.solid;
        item = faceSet(mesh, solid && mesh.closedShell());
        representation =
            emit(out, "IFCSHAPEREPRESENTATION(" + ref(bodyContext_) + ",'Body','Tessellation',(" + ref(item) + "))");
        style = material ? surfaceStyle(material->name, material->colour) : surfaceStyle(layer, layerColour(layer));
        if (std::holds_alternative<host::MeshElement>(el.body))
            entity = "IFCGEOGRAPHICELEMENT", predefined = ".TERRAIN.";
        else if (std::holds_alternative<host::SlabElement>(el.body)) entity = "IFCSLAB", predefined = ".NOTDEFINED.";
        else entity = "IFCBUILDINGELEMENTPROXY", predefined = ".ELEMENT.";
    } else if (const auto* pl = std::get_if<host::PolylineElement>(&el.body)) {
        if (pl->points.size() < 2) return;
        // Straight runs as line segments, arcs through their middle point, as the drawing has them.
        std::vector<host::HostPoint2> pts;
        std::string segments;
        std::vector<std::size_t> run;
        auto flushRun = [&] {
            if (run.size() >= 2) {
                segments += std::string(segments.empty() ? "" : ",") + "IFCLINEINDEX((";
                for (std::size_t k = 0; k < run.size(); ++k) segments += (k ? "," : "") + std::to_string(run[k]);
                segments += "))";
            }
            run.clear();
        };
        pts.push_back(pl->points[0]);
        run.push_back(1);
        for (std::size_t i = 0; i + 1 < pl->points.size(); ++i) {
            const double angle = segmentArcAngle(*pl, i);
            const host::HostPoint2 p = pl->points[i], q = pl->points[i + 1];
            const double chord = std::hypot(q.x - p.x, q.y - p.y);
            if (std::abs(angle) > 1e-9 && chord > 0.0 && std::abs(angle) < 2.0 * std::numbers::pi) {
                flushRun();
                // The arc's middle lies off the chord's middle by the sagitta, on the side the angle turns.
                const double sagitta = chord / 2.0 * std::tan(angle / 4.0);
                const host::HostPoint2 mid{(p.x + q.x) / 2.0 + (q.y - p.y) / chord * sagitta,
                                           (p.y + q.y) / 2.0 - (q.x - p.x) / chord * sagitta};
                pts.push_back(mid);
                pts.push_back(q);
                segments += std::string(segments.empty() ? "" : ",") + "IFCARCINDEX((" +
                            std::to_string(pts.size() - 2) + "," + std::to_string(pts.size() - 1) + "," +
                            std::to_string(pts.size()) + "))";
                run.push_back(pts.size());
            } else {
                pts.push_back(q);
                if (run.empty()) run.push_back(pts.size() - 1);
                run.push_back(pts.size());
            }
        }
        flushRun();
        std::string list = "IFCCARTESIANPOINTLIST2D((";
        for (std::size_t k = 0; k < pts.size(); ++k) list += (k ? "," : "") + point2(pts[k].x, pts[k].y);
        const Id points = emit(out, list + "))");
        item = emit(out, "IFCINDEXEDPOLYCURVE(" + ref(points) + ",(" + segments + "),.F.)");
        representation =
            emit(out, "IFCSHAPEREPRESENTATION(" + ref(planContext_) + ",'Annotation','Curve2D',(" + ref(item) + "))");
    } else if (const auto* t = std::get_if<host::TextElement>(&el.body)) {
        const Id at = emit(out, "IFCCARTESIANPOINT(" + point2(t->position.x, t->position.y) + ")");
        const Id dir = emit(out, "IFCDIRECTION((" + ratio(std::cos(t->angle)) + "," + ratio(std::sin(t->angle)) + "))");
        const Id placement = emit(out, "IFCAXIS2PLACEMENT2D(" + ref(at) + "," + ref(dir) + ")");
        item = emit(out, "IFCTEXTLITERAL(" + stepString(t->content) + "," + ref(placement) + ",.RIGHT.)");
        representation = emit(
            out, "IFCSHAPEREPRESENTATION(" + ref(planContext_) + ",'Annotation','Annotation2D',(" + ref(item) + "))");
    } else if (const auto* f = std::get_if<host::FillElement>(&el.body)) {
        // The filled area itself, holes left open, at height 0: readers draw an area where a fill-area item
        // would only be understood by some.
        std::vector<host::HostPoint2> flat;
        const auto tri = triangulateRings(f->contours, flat);
        if (tri.empty()) return;
        ElementMesh area;
        for (const auto& p : flat) area.points.push_back({p.x, p.y, 0.0});
        for (std::size_t k : tri) area.triangles.push_back(static_cast<std::uint32_t>(k));
        item = faceSet(area, false);
        representation =
            emit(out, "IFCSHAPEREPRESENTATION(" + ref(bodyContext_) + ",'Body','Tessellation',(" + ref(item) + "))");
        const host::HostColour colour = f->useOwnColour ? f->ownColour : layerColour(layer);
        style = surfaceStyle(layer, colour);
    } else if (const auto* pic = std::get_if<host::PictureElement>(&el.body)) {
        const ExportedPicture* written = nullptr;
        for (const auto& p : pictures_)
            if (p.element == element) written = &p;
        if (!written) return;
        // A quad at height 0 with the picture file as its texture (texture coordinates from its lower left).
        const double w = pic->boxMax.x - pic->boxMin.x, h = pic->boxMax.y - pic->boxMin.y;
        const double c = std::cos(pic->angle), s = std::sin(pic->angle);
        const host::HostPoint2 o = pic->boxMin;
        ElementMesh quad;
        quad.points = {{o.x, o.y, 0},
                       {o.x + c * w, o.y + s * w, 0},
                       {o.x + c * w - s * h, o.y + s * w + c * h, 0},
                       {o.x - s * h, o.y + c * h, 0}};
        quad.triangles = {0, 1, 2, 0, 2, 3};
        item = faceSet(quad, false);
        const Id texture = emit(out, "IFCIMAGETEXTURE(.F.,.F.,$,$,$," + stepString(written->relativePath) + ")");
        const Id uvs = emit(out, "IFCTEXTUREVERTEXLIST(((0.,0.),(1.,0.),(1.,1.),(0.,1.)))");
        emit(out, "IFCINDEXEDTRIANGLETEXTUREMAP((" + ref(texture) + ")," + ref(item) + "," + ref(uvs) +
                      ",((1,2,3),(1,3,4)))");
        representation =
            emit(out, "IFCSHAPEREPRESENTATION(" + ref(bodyContext_) + ",'Body','Tessellation',(" + ref(item) + "))");
        body_.write(out);
        out.clear();
        style = surfaceStyle(written->relativePath, {1, 1, 1}, texture);
    } else {
        return;
    }
    if (style) emit(out, "IFCSTYLEDITEM(" + ref(item) + ",(" + ref(style) + "),$)");
    const Id shape = emit(out, "IFCPRODUCTDEFINITIONSHAPE($,$,(" + ref(representation) + "))");
    body_.write(out);
    const Id id = product(element, entity, name, std::string(kindName(el.body)) + " " + layer, shape, predefined);
    layerItems_[layer].push_back(representation);
    if (material) {
        auto& entry = materials_[material->name];
        if (entry.first == 0) {
            std::string m;
            entry.first = emit(m, "IFCMATERIAL(" + stepString(material->name) + ",$,$)");
            body_.write(m);
        }
        entry.second.push_back(id);
    }
    properties(element, id);
}

std::string IfcWriter::header() const {
    return "ISO-10303-21;\nHEADER;\nFILE_DESCRIPTION(('ViewDefinition [ReferenceView_V1.2]'),'2;1');\n"
           "FILE_NAME('model.ifc','1970-01-01T00:00:00',(''),('Geodraft'),'geodraft','geodraft','');\n"
           "FILE_SCHEMA(('IFC4'));\nENDSEC;\nDATA;\n";
}

bool IfcWriter::finish(const std::filesystem::path& target, std::string& error) {
    std::string tail;
    if (!products_.empty())
        emit(tail, "IFCRELCONTAINEDINSPATIALSTRUCTURE('" + ifcGuid(seed_ + "contained") + "'," + ref(ownerHistory_) +
                       ",$,$," + refList(products_) + "," + ref(site_) + ")");
    for (const auto& [layer, items] : layerItems_)
        emit(tail, "IFCPRESENTATIONLAYERASSIGNMENT(" + stepString(layer) + ",$," + refList(items) + ",$)");
    for (const auto& [name, entry] : materials_)
        emit(tail, "IFCRELASSOCIATESMATERIAL('" + ifcGuid(seed_ + "material/" + name) + "'," + ref(ownerHistory_) +
                       ",$,$," + refList(entry.second) + "," + ref(entry.first) + ")");
    tail += "ENDSEC;\nEND-ISO-10303-21;\n";
    const std::string head = header() + head_;
    const bool written = body_.ok() && platform::writeFileAtomically(target, [&](const platform::ByteSink& sink) {
                             return sink(head) && body_.copyTo(sink) && sink(tail);
                         });
    if (!written) error = "Nie mozna zapisac pliku: " + target.string();
    return written;
}

}  // namespace exporter
