#include "model/ProjectFile.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <istream>
#include <limits>
#include <nlohmann/json.hpp>
#include <set>
#include <stdexcept>
#include <streambuf>

#include "platform/Paths.h"

using platform::writeFileAtomically;

using nlohmann::json;

namespace model {

namespace {

constexpr const char* kFormatName = "geodraft-project";
constexpr int kFormatVersion = 1;

// ---- Base64 (picture bytes) -----------------------------------------------------------------

const char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string encodeBase64(const std::vector<std::uint8_t>& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += kBase64[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest == 1) {
        const unsigned v = bytes[i] << 16;
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const unsigned v = (bytes[i] << 16) | (bytes[i + 1] << 8);
        out += kBase64[(v >> 18) & 63];
        out += kBase64[(v >> 12) & 63];
        out += kBase64[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

// Strict: whole quads only, padding only at the end.
bool decodeBase64(const std::string& text, std::vector<std::uint8_t>& out) {
    if (text.size() % 4 != 0) return false;
    out.clear();
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = text[i + static_cast<std::size_t>(k)];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad > 0) return false;
            v[k] = base64Value(c);
            if (v[k] < 0) return false;
        }
        const unsigned word = (static_cast<unsigned>(v[0]) << 18) | (static_cast<unsigned>(v[1]) << 12) |
                              (static_cast<unsigned>(v[2]) << 6) | static_cast<unsigned>(v[3]);
        out.push_back(static_cast<std::uint8_t>(word >> 16));
        if (pad < 2) out.push_back(static_cast<std::uint8_t>(word >> 8));
        if (pad < 1) out.push_back(static_cast<std::uint8_t>(word));
    }
    return true;
}

// ---- Writing ---------------------------------------------------------------------------------

json point(const host::HostPoint2& p) { return json::array({p.x, p.y}); }
json point(const host::HostPoint3& p) { return json::array({p.x, p.y, p.z}); }
json colour(const host::HostColour& c) { return json::array({c.red, c.green, c.blue}); }

template <class P>
json points(const std::vector<P>& list) {
    json a = json::array();
    for (const auto& p : list) a.push_back(point(p));
    return a;
}

template <class P>
json rings(const std::vector<std::vector<P>>& list) {
    json a = json::array();
    for (const auto& r : list) a.push_back(points(r));
    return a;
}

void writeBody(json& j, const host::PolylineElement& e) {
    j["pen"] = e.pen;
    j["points"] = points(e.points);
    json arcs = json::array();
    for (const auto& a : e.arcs) arcs.push_back(json::array({a.begin, a.end, a.angle}));
    j["arcs"] = arcs;
}

void writeBody(json& j, const host::TextElement& e) {
    j["pen"] = e.pen;
    j["position"] = point(e.position);
    j["anchor"] = e.anchor;
    j["size"] = e.size;
    j["angle"] = e.angle;
    j["widthFactor"] = e.widthFactor;
    j["styleSetting1"] = e.styleSetting1;
    j["styleSetting2"] = e.styleSetting2;
    j["content"] = e.content;
}

void writeBody(json& j, const host::FillElement& e) {
    j["contourPen"] = e.contourPen;
    j["fillType"] = e.fillType;
    j["useOwnColour"] = e.useOwnColour;
    j["ownColour"] = colour(e.ownColour);
    j["useBackground"] = e.useBackground;
    j["background"] = colour(e.background);
    j["contours"] = rings(e.contours);
}

void writeBody(json& j, const host::MeshElement& e) {
    j["material"] = e.material;
    j["level"] = e.level;
    j["outline"] = points(e.outline);
    j["levelLines"] = rings(e.levelLines);
    j["byteSetting"] = e.byteSetting;
    j["flagSetting"] = e.flagSetting;
    j["wideSetting"] = e.wideSetting;
}

void writeBody(json& j, const host::SlabElement& e) {
    j["level"] = e.level;
    j["thickness"] = e.thickness;
    j["referenceCode"] = e.referenceCode;
    j["extraSetting"] = e.extraSetting;
    j["buildingMaterial"] = e.buildingMaterial;
    j["topMaterial"] = e.topMaterial;
    j["sideMaterial"] = e.sideMaterial;
    j["bottomMaterial"] = e.bottomMaterial;
    j["contours"] = rings(e.contours);
}

void writeBody(json& j, const host::MorphElement& e) {
    json t = json::array();
    for (double v : e.transform) t.push_back(v);
    j["transform"] = t;
    j["vertices"] = points(e.vertices);
    json edges = json::array();
    for (const auto& ed : e.edges) edges.push_back(json::array({ed.from, ed.to}));
    j["edges"] = edges;
    json polys = json::array();
    for (const auto& p : e.polygons)
        polys.push_back({{"edges", p.edges}, {"hasMaterial", p.hasMaterial}, {"material", p.material}});
    j["polygons"] = polys;
}

void writeBody(json& j, const host::PictureElement& e) {
    j["boxMin"] = point(e.boxMin);
    j["boxMax"] = point(e.boxMax);
    j["angle"] = e.angle;
    j["mimeType"] = e.mimeType;
    j["bytes"] = encodeBase64(e.bytes);
}

json geoLocationJson(const host::GeoLocation& g) {
    return {
        {"crsName", g.crsName},
        {"crsText2", g.crsText2},
        {"geodeticDatum", g.geodeticDatum},
        {"verticalDatum", g.verticalDatum},
        {"mapProjection", g.mapProjection},
        {"mapZone", g.mapZone},
        {"longitude", g.longitude},
        {"latitude", g.latitude},
        {"altitude", g.altitude},
        {"rotation", g.rotation},
        {"locationFlags", g.locationFlags},
        {"surveyEasting", g.surveyEasting},
        {"surveyNorthing", g.surveyNorthing},
        {"surveyHeight", g.surveyHeight},
        {"xAxisAbscissa", g.xAxisAbscissa},
        {"xAxisOrdinate", g.xAxisOrdinate},
        {"scale", g.scale},
        {"surveyExtra1", g.surveyExtra1},
        {"surveyExtra2", g.surveyExtra2},
    };
}

// ---- Reading ---------------------------------------------------------------------------------

// A file that does not hold what a project holds; `where` names the place.
struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw FileError(where + ": " + what); }

const json& member(const json& j, const char* key, const std::string& where) {
    if (!j.is_object()) fail(where, "oczekiwano obiektu");
    auto it = j.find(key);
    if (it == j.end()) fail(where, std::string("brak pola \"") + key + "\"");
    return *it;
}

double number(const json& v, const std::string& where) {
    if (!v.is_number()) fail(where, "oczekiwano liczby");
    return v.get<double>();
}

long long integer(const json& v, long long lo, long long hi, const std::string& where) {
    long long out = 0;
    if (v.is_number_unsigned()) {
        const auto u = v.get<unsigned long long>();
        if (u > static_cast<unsigned long long>(std::numeric_limits<long long>::max()))
            fail(where, "liczba poza zakresem");
        out = static_cast<long long>(u);
    } else if (v.is_number_integer()) {
        out = v.get<long long>();
    } else {
        fail(where, "oczekiwano liczby calkowitej");
    }
    if (out < lo || out > hi) fail(where, "liczba poza zakresem");
    return out;
}

template <class T>
void readInt(const json& j, const char* key, T& out, const std::string& where) {
    out = static_cast<T>(integer(member(j, key, where), std::numeric_limits<T>::min(), std::numeric_limits<T>::max(),
                                 where + "." + key));
}

void readDouble(const json& j, const char* key, double& out, const std::string& where) {
    out = number(member(j, key, where), where + "." + key);
}

void readBool(const json& j, const char* key, bool& out, const std::string& where) {
    const json& v = member(j, key, where);
    if (!v.is_boolean()) fail(where + "." + key, "oczekiwano wartosci logicznej");
    out = v.get<bool>();
}

void readString(const json& j, const char* key, std::string& out, const std::string& where) {
    const json& v = member(j, key, where);
    if (!v.is_string()) fail(where + "." + key, "oczekiwano tekstu");
    out = v.get<std::string>();
}

const json& array(const json& j, const char* key, const std::string& where) {
    const json& v = member(j, key, where);
    if (!v.is_array()) fail(where + "." + key, "oczekiwano tablicy");
    return v;
}

std::string at(const std::string& where, std::size_t i) { return where + "[" + std::to_string(i) + "]"; }

void readTuple(const json& v, double* out, std::size_t n, const std::string& where) {
    if (!v.is_array() || v.size() != n) fail(where, "oczekiwano " + std::to_string(n) + " liczb");
    for (std::size_t i = 0; i < n; ++i) out[i] = number(v[i], at(where, i));
}

host::HostPoint2 readPoint2(const json& v, const std::string& where) {
    double c[2];
    readTuple(v, c, 2, where);
    return {c[0], c[1]};
}

host::HostPoint3 readPoint3(const json& v, const std::string& where) {
    double c[3];
    readTuple(v, c, 3, where);
    return {c[0], c[1], c[2]};
}

host::HostColour readColour(const json& j, const char* key, const std::string& where) {
    double c[3];
    readTuple(member(j, key, where), c, 3, where + "." + key);
    return {c[0], c[1], c[2]};
}

template <class P, class F>
std::vector<P> readPoints(const json& v, const std::string& where, F readOne) {
    if (!v.is_array()) fail(where, "oczekiwano tablicy");
    std::vector<P> out;
    out.reserve(v.size());
    for (std::size_t i = 0; i < v.size(); ++i) out.push_back(readOne(v[i], at(where, i)));
    return out;
}

std::vector<host::HostPoint2> readPoints2(const json& v, const std::string& where) {
    return readPoints<host::HostPoint2>(v, where, readPoint2);
}

std::vector<host::HostPoint3> readPoints3(const json& v, const std::string& where) {
    return readPoints<host::HostPoint3>(v, where, readPoint3);
}

std::vector<std::vector<host::HostPoint2>> readRings2(const json& v, const std::string& where) {
    return readPoints<std::vector<host::HostPoint2>>(v, where, readPoints2);
}

std::vector<std::vector<host::HostPoint3>> readRings3(const json& v, const std::string& where) {
    return readPoints<std::vector<host::HostPoint3>>(v, where, readPoints3);
}

host::PolylineElement readPolyline(const json& j, const std::string& w) {
    host::PolylineElement e;
    readInt(j, "pen", e.pen, w);
    e.points = readPoints2(member(j, "points", w), w + ".points");
    const json& arcs = array(j, "arcs", w);
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        const std::string aw = at(w + ".arcs", i);
        const json& a = arcs[i];
        if (!a.is_array() || a.size() != 3) fail(aw, "oczekiwano [poczatek, koniec, kat]");
        host::PolylineArc arc;
        arc.begin = static_cast<std::int32_t>(integer(a[0], INT32_MIN, INT32_MAX, aw));
        arc.end = static_cast<std::int32_t>(integer(a[1], INT32_MIN, INT32_MAX, aw));
        arc.angle = number(a[2], aw);
        e.arcs.push_back(arc);
    }
    return e;
}

host::TextElement readText(const json& j, const std::string& w) {
    host::TextElement e;
    readInt(j, "pen", e.pen, w);
    e.position = readPoint2(member(j, "position", w), w + ".position");
    readInt(j, "anchor", e.anchor, w);
    readDouble(j, "size", e.size, w);
    readDouble(j, "angle", e.angle, w);
    readDouble(j, "widthFactor", e.widthFactor, w);
    readInt(j, "styleSetting1", e.styleSetting1, w);
    readInt(j, "styleSetting2", e.styleSetting2, w);
    readString(j, "content", e.content, w);
    return e;
}

host::FillElement readFill(const json& j, const std::string& w) {
    host::FillElement e;
    readInt(j, "contourPen", e.contourPen, w);
    readInt(j, "fillType", e.fillType, w);
    readBool(j, "useOwnColour", e.useOwnColour, w);
    e.ownColour = readColour(j, "ownColour", w);
    readBool(j, "useBackground", e.useBackground, w);
    e.background = readColour(j, "background", w);
    e.contours = readRings2(member(j, "contours", w), w + ".contours");
    return e;
}

host::MeshElement readMesh(const json& j, const std::string& w) {
    host::MeshElement e;
    readInt(j, "material", e.material, w);
    readDouble(j, "level", e.level, w);
    e.outline = readPoints3(member(j, "outline", w), w + ".outline");
    e.levelLines = readRings3(member(j, "levelLines", w), w + ".levelLines");
    readInt(j, "byteSetting", e.byteSetting, w);
    readInt(j, "flagSetting", e.flagSetting, w);
    readInt(j, "wideSetting", e.wideSetting, w);
    return e;
}

host::SlabElement readSlab(const json& j, const std::string& w) {
    host::SlabElement e;
    readDouble(j, "level", e.level, w);
    readDouble(j, "thickness", e.thickness, w);
    readInt(j, "referenceCode", e.referenceCode, w);
    readInt(j, "extraSetting", e.extraSetting, w);
    readInt(j, "buildingMaterial", e.buildingMaterial, w);
    readInt(j, "topMaterial", e.topMaterial, w);
    readInt(j, "sideMaterial", e.sideMaterial, w);
    readInt(j, "bottomMaterial", e.bottomMaterial, w);
    e.contours = readRings2(member(j, "contours", w), w + ".contours");
    return e;
}

host::MorphElement readMorph(const json& j, const std::string& w) {
    host::MorphElement e;
    readTuple(member(j, "transform", w), e.transform, 12, w + ".transform");
    e.vertices = readPoints3(member(j, "vertices", w), w + ".vertices");
    const json& edges = array(j, "edges", w);
    for (std::size_t i = 0; i < edges.size(); ++i) {
        const std::string ew = at(w + ".edges", i);
        if (!edges[i].is_array() || edges[i].size() != 2) fail(ew, "oczekiwano [od, do]");
        e.edges.push_back({static_cast<std::int32_t>(integer(edges[i][0], INT32_MIN, INT32_MAX, ew)),
                           static_cast<std::int32_t>(integer(edges[i][1], INT32_MIN, INT32_MAX, ew))});
    }
    const json& polys = array(j, "polygons", w);
    for (std::size_t i = 0; i < polys.size(); ++i) {
        const std::string pw = at(w + ".polygons", i);
        host::MorphPolygon p;
        const json& refs = array(polys[i], "edges", pw);
        for (std::size_t k = 0; k < refs.size(); ++k)
            p.edges.push_back(static_cast<std::int32_t>(integer(refs[k], INT32_MIN, INT32_MAX, at(pw + ".edges", k))));
        readBool(polys[i], "hasMaterial", p.hasMaterial, pw);
        readInt(polys[i], "material", p.material, pw);
        e.polygons.push_back(std::move(p));
    }
    return e;
}

host::PictureElement readPicture(const json& j, const std::string& w) {
    host::PictureElement e;
    e.boxMin = readPoint2(member(j, "boxMin", w), w + ".boxMin");
    e.boxMax = readPoint2(member(j, "boxMax", w), w + ".boxMax");
    readDouble(j, "angle", e.angle, w);
    readString(j, "mimeType", e.mimeType, w);
    std::string encoded;
    readString(j, "bytes", encoded, w);
    if (!decodeBase64(encoded, e.bytes)) fail(w + ".bytes", "niepoprawne base64");
    return e;
}

ElementBody readBody(std::int32_t type, const json& j, const std::string& w) {
    switch (type) {
        case host::kElemPolyline: return readPolyline(j, w);
        case host::kElemText: return readText(j, w);
        case host::kElemFill: return readFill(j, w);
        case host::kElemMesh: return readMesh(j, w);
        case host::kElemSlab: return readSlab(j, w);
        case host::kElemMorph: return readMorph(j, w);
        case host::kElemPicture: return readPicture(j, w);
        default: fail(w + ".type", "nieznany typ elementu " + std::to_string(type));
    }
}

host::GeoLocation readGeoLocation(const json& j, const std::string& w) {
    host::GeoLocation g;
    readString(j, "crsName", g.crsName, w);
    readString(j, "crsText2", g.crsText2, w);
    readString(j, "geodeticDatum", g.geodeticDatum, w);
    readString(j, "verticalDatum", g.verticalDatum, w);
    readString(j, "mapProjection", g.mapProjection, w);
    readString(j, "mapZone", g.mapZone, w);
    readDouble(j, "longitude", g.longitude, w);
    readDouble(j, "latitude", g.latitude, w);
    readDouble(j, "altitude", g.altitude, w);
    readDouble(j, "rotation", g.rotation, w);
    readInt(j, "locationFlags", g.locationFlags, w);
    readDouble(j, "surveyEasting", g.surveyEasting, w);
    readDouble(j, "surveyNorthing", g.surveyNorthing, w);
    readDouble(j, "surveyHeight", g.surveyHeight, w);
    readDouble(j, "xAxisAbscissa", g.xAxisAbscissa, w);
    readDouble(j, "xAxisOrdinate", g.xAxisOrdinate, w);
    readDouble(j, "scale", g.scale, w);
    readDouble(j, "surveyExtra1", g.surveyExtra1, w);
    readDouble(j, "surveyExtra2", g.surveyExtra2, w);
    return g;
}

// One element of the document, not yet checked against the project (its attributes may come later).
StoredElement readElement(const json& j, std::size_t i) {
    const std::string ew = at("projekt.elements", i);
    StoredElement el;
    readString(j, "id", el.header.id, ew);
    readInt(j, "type", el.header.type, ew);
    readInt(j, "layer", el.header.layer, ew);
    readInt(j, "story", el.header.story, ew);
    readString(j, "idText", el.idText, ew);
    el.body = readBody(el.header.type, j, ew);
    std::visit([&](auto& b) { b.layer = el.header.layer; }, el.body);
    return el;
}

ModelState readState(const json& root, std::vector<StoredElement> taken) {
    const std::string w = "projekt";
    std::string format;
    readString(root, "format", format, w);
    if (format != kFormatName) fail(w + ".format", "to nie jest plik projektu");
    int version = 0;
    readInt(root, "version", version, w);
    if (version != kFormatVersion) fail(w + ".version", "nieobslugiwana wersja " + std::to_string(version));

    ModelState s;
    readInt(root, "activeStory", s.activeStory, w);

    // Attributes first: elements are checked against them.
    const json& attrs = array(root, "attributes", w);
    for (std::size_t i = 0; i < attrs.size(); ++i) {
        const std::string aw = at(w + ".attributes", i);
        host::Attribute a;
        readInt(attrs[i], "kind", a.kind, aw);
        readInt(attrs[i], "index", a.index, aw);
        readString(attrs[i], "name", a.name, aw);
        readBool(attrs[i], "locked", a.locked, aw);
        readBool(attrs[i], "hidden", a.hidden, aw);
        readInt(attrs[i], "fillKind", a.fillKind, aw);
        a.colour = readColour(attrs[i], "colour", aw);
        if (host::HostError e = checkNewAttribute(a, s)) {
            fail(aw, e == host::kHostNameInUse ? "powtorzona nazwa atrybutu" : "niepoprawny atrybut");
        }
        auto& list = s.attributes[a.kind];
        if (a.index != static_cast<std::int32_t>(list.size() + 1)) fail(aw + ".index", "indeksy nie po kolei");
        list.push_back(std::move(a));
    }
    if (s.attributes[host::kAttrLayer].empty()) fail(w + ".attributes", "projekt bez warstwy");

    const json& geo = member(root, "geoLocation", w);
    if (!geo.is_null()) {
        s.geoLocation = readGeoLocation(geo, w + ".geoLocation");
        if (checkGeoLocation(s.geoLocation) != host::kHostOk) fail(w + ".geoLocation", "niepoprawne wartosci");
        s.geoLocationSet = true;
    }

    std::set<host::ElementId> ids;
    // Elements the streaming reader took out of the document come first, then any left in it.
    const json& elements = array(root, "elements", w);
    for (std::size_t i = 0; i < elements.size(); ++i) taken.push_back(readElement(elements[i], taken.size()));
    for (std::size_t i = 0; i < taken.size(); ++i) {
        const std::string ew = at(w + ".elements", i);
        StoredElement& el = taken[i];
        if (el.header.id.empty() || !ids.insert(el.header.id).second)
            fail(ew + ".id", "pusty lub powtorzony identyfikator");
        if (checkElement(el.body, s) != host::kHostOk) fail(ew, "niepoprawna geometria lub ustawienia elementu");
    }
    s.elements = std::move(taken);

    const json& selection = array(root, "selection", w);
    for (std::size_t i = 0; i < selection.size(); ++i) {
        if (!selection[i].is_string()) fail(at(w + ".selection", i), "oczekiwano identyfikatora");
        const auto id = selection[i].get<std::string>();
        if (!ids.count(id)) fail(at(w + ".selection", i), "zaznaczony element nie istnieje");
        s.selection.push_back(id);
    }
    return s;
}

}  // namespace

namespace {

// Writes the document member by member in the order a JSON object of the whole model would have (by name), one
// element at a time: a tree of the whole model costs many times the project's size in memory. False once the
// sink refused a piece.
bool writeProject(const ModelState& state, const platform::ByteSink& sink) {
    // Invalid UTF-8 from a text is replaced rather than making the project unsavable.
    auto text = [](const json& j) { return j.dump(-1, ' ', false, json::error_handler_t::replace); };
    json attrs = json::array();
    for (const auto& [kind, list] : state.attributes) {
        for (const auto& a : list) {
            attrs.push_back({{"kind", a.kind},
                             {"index", a.index},
                             {"name", a.name},
                             {"locked", a.locked},
                             {"hidden", a.hidden},
                             {"fillKind", a.fillKind},
                             {"colour", colour(a.colour)}});
        }
    }
    if (!sink("{\"activeStory\":" + text(state.activeStory) + ",\"attributes\":" + text(attrs) + ",\"elements\":["))
        return false;
    bool first = true;
    for (const auto& el : state.elements) {
        json j;
        j["id"] = el.header.id;
        j["type"] = el.header.type;
        j["layer"] = el.header.layer;
        j["story"] = el.header.story;
        j["idText"] = el.idText;
        std::visit([&](const auto& b) { writeBody(j, b); }, el.body);
        if (!sink((first ? "" : ",") + text(j))) return false;
        first = false;
    }
    return sink("],\"format\":" + text(kFormatName) +
                ",\"geoLocation\":" + text(state.geoLocationSet ? geoLocationJson(state.geoLocation) : json(nullptr)) +
                ",\"selection\":" + text(state.selection) + ",\"version\":" + text(kFormatVersion) + "}\n");
}

}  // namespace

std::string projectToText(const ModelState& state) {
    std::string out;
    writeProject(state, [&out](std::string_view piece) {
        out += piece;
        return true;
    });
    return out;
}

namespace {

// Parses a document, handing each element of the top-level "elements" array to `readElement` as soon as it is
// complete and dropping it from the document, so that only one element's tree is held at a time.
template <class Input>
ProjectFileStatus parseProject(Input&& input, ModelState& state) {
    std::vector<StoredElement> taken;
    bool inElements = false;
    try {
        const json::parser_callback_t take = [&](int depth, json::parse_event_t event, json& parsed) {
            if (depth == 1 && event == json::parse_event_t::key) inElements = parsed == "elements";
            if (depth == 2 && inElements && event == json::parse_event_t::object_end) {
                taken.push_back(readElement(parsed, taken.size()));
                return false;
            }
            return true;
        };
        json root = json::parse(std::forward<Input>(input), take, false);
        if (root.is_discarded()) return {false, "Nieprawidlowy plik projektu: to nie jest poprawny JSON"};
        ModelState loaded = readState(root, std::move(taken));
        state = std::move(loaded);
        return {true, {}};
    } catch (const FileError& e) {
        return {false, std::string("Nieprawidlowy plik projektu (") + e.what() + ")"};
    } catch (const json::exception& e) {
        return {false, std::string("Nieprawidlowy plik projektu: ") + e.what()};
    }
}

// Hands a file to the parser in blocks, ending it early at a NUL byte or past a size limit.
class GuardedFileBuffer : public std::streambuf {
public:
    GuardedFileBuffer(std::FILE* file, std::uint64_t limit) : file_(file), limit_(limit) {}
    bool sawNul() const { return sawNul_; }
    bool tooLarge() const { return tooLarge_; }

protected:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        if (sawNul_ || tooLarge_) return traits_type::eof();
        const std::size_t n = std::fread(buffer_, 1, sizeof buffer_, file_);
        if (n == 0) return traits_type::eof();
        total_ += n;
        if (std::memchr(buffer_, 0, n) != nullptr) sawNul_ = true;
        if (total_ > limit_) tooLarge_ = true;
        if (sawNul_ || tooLarge_) return traits_type::eof();
        setg(buffer_, buffer_, buffer_ + n);
        return traits_type::to_int_type(*gptr());
    }

private:
    std::FILE* file_;
    std::uint64_t limit_;
    std::uint64_t total_ = 0;
    bool sawNul_ = false;
    bool tooLarge_ = false;
    char buffer_[65536];
};

}  // namespace

ProjectFileStatus projectFromText(const std::string& text, ModelState& state) { return parseProject(text, state); }

ProjectFileStatus saveProjectFile(const std::filesystem::path& path, const ModelState& state) {
    // Straight into the file, in pieces of about a megabyte: the whole text need not be held besides the model.
    const bool written = writeFileAtomically(path, [&state](const platform::ByteSink& file) {
        std::string buffer;
        const bool ok = writeProject(state, [&](std::string_view piece) {
            buffer += piece;
            if (buffer.size() < (1u << 20)) return true;
            const bool taken = file(buffer);
            buffer.clear();
            return taken;
        });
        return ok && file(buffer);
    });
    if (!written) return {false, "Nie mozna zapisac projektu: " + path.string()};
    return {true, {}};
}

ProjectFileStatus loadProjectFile(const std::filesystem::path& path, ModelState& state) {
    const std::string tooLarge =
        "Projekt zbyt duzy (limit " + std::to_string(kMaxProjectFileBytes >> 20) + " MB): " + path.string();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxProjectFileBytes) return {false, tooLarge};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return {false, "Nie mozna otworzyc projektu: " + path.string()};
    // Read straight from the file: the text of a large project need not be held besides the model. A project is
    // JSON text: NUL bytes (a device, a binary file) and endless inputs stop the read instead of exhausting memory.
    GuardedFileBuffer guarded(f, kMaxProjectFileBytes);
    std::istream in(&guarded);
    ModelState loaded;
    ProjectFileStatus status = parseProject(in, loaded);
    if (guarded.sawNul())
        status = {false, "Nieprawidlowy plik projektu: to nie jest tekst JSON (" + path.string() + ")"};
    if (guarded.tooLarge()) status = {false, tooLarge};
    const bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) return {false, "Nie mozna odczytac projektu: " + path.string()};
    if (status.ok) state = std::move(loaded);
    return status;
}

}  // namespace model
