// The host modelling interface: every operation the add-on asks of the modelling application.
// All operations run on the main thread and answer 0 or a host error code.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace host {

// Host error code; 0 is success.
using HostError = std::int32_t;
// Success.
constexpr HostError kHostOk = 0;
// Answer of every operation before the host's function table is installed.
constexpr HostError kHostNotSupplied = static_cast<HostError>(0x81060387u);
// Common host error codes the add-on names in its diagnostics.
constexpr HostError kHostBadId = -2130311;
constexpr HostError kHostBadPars = -2130313;
constexpr HostError kHostBadIndex = -2130315;
constexpr HostError kHostNotSupported = -2110145;
// Generic failure; an undoable closure returns it to have its work undone.
constexpr HostError kHostGeneralError = static_cast<HostError>(0x81060001u);
// The host could not allocate memory (e.g. for picture bytes).
constexpr HostError kHostOutOfMemory = static_cast<HostError>(0x81060002u);
// An attribute of that kind already has the name.
constexpr HostError kHostNameInUse = static_cast<HostError>(0x81060024u);
// No attribute of that kind has the name.
constexpr HostError kHostNameNotFound = static_cast<HostError>(0x81060025u);
// The element exists but is of another type than the operation needs.
constexpr HostError kHostBadElementType = static_cast<HostError>(0x81060026u);
// The element lies on a locked layer and may not be changed or deleted.
constexpr HostError kHostLockedLayer = static_cast<HostError>(0x81060027u);
// An undoable command was asked for while another one runs.
constexpr HostError kHostCommandRunning = static_cast<HostError>(0x81060028u);

// The project's geolocation record (the fields the add-on reads or writes).
struct GeoLocation {
    std::string crsName;   // first CRS text, e.g. "EPSG:2178"
    std::string crsText2;  // a second CRS text
    std::string geodeticDatum;
    std::string verticalDatum;
    std::string mapProjection;
    std::string mapZone;
    double longitude = 0.0;          // project location, degrees
    double latitude = 0.0;           // project location, degrees
    double altitude = 0.0;           // project location, metres
    double rotation = 0.0;           // project location rotation value
    std::int16_t locationFlags = 0;  // a 16-bit value of the location part
    double surveyEasting = 0.0;      // survey point, metres
    double surveyNorthing = 0.0;
    double surveyHeight = 0.0;   // survey point orthogonal height
    double xAxisAbscissa = 1.0;  // grid x-axis direction
    double xAxisOrdinate = 0.0;
    double scale = 1.0;
    double surveyExtra1 = 0.0;  // two further survey-point values, kept as read
    double surveyExtra2 = 0.0;
    bool operator==(const GeoLocation&) const = default;
};

// ---- Attributes -------------------------------------------------------------------------------

// Attribute kinds (the host's codes).
constexpr std::int32_t kAttrLayer = 2;
constexpr std::int32_t kAttrFill = 4;
constexpr std::int32_t kAttrMaterial = 6;
constexpr std::int32_t kAttrBuildingMaterial = 16;

// Fill kind codes of fill attributes.
constexpr std::int32_t kFillVectorial = 0;
constexpr std::int32_t kFillSolid = 2;

// An RGB colour, each channel 0..1.
struct HostColour {
    double red = 0.0;
    double green = 0.0;
    double blue = 0.0;
    bool operator==(const HostColour&) const = default;
};

// One attribute; which fields matter depends on the kind. Indices start at 1 (0 = none).
struct Attribute {
    std::int32_t kind = 0;
    std::int32_t index = 0;     // set by the host on creation
    std::string name;           // UTF-8, at most 255 bytes
    bool locked = false;        // layer: elements on it may not be changed or deleted
    bool hidden = false;        // layer
    std::int32_t fillKind = 0;  // fill: kFillVectorial, kFillSolid, ...
    HostColour colour;          // material: surface colour
    bool operator==(const Attribute&) const = default;
};

// ---- Elements ---------------------------------------------------------------------------------

// Element type codes (the host's).
constexpr std::int32_t kElemSlab = 8;
constexpr std::int32_t kElemMesh = 10;
constexpr std::int32_t kElemText = 15;
constexpr std::int32_t kElemFill = 18;
constexpr std::int32_t kElemPolyline = 20;
constexpr std::int32_t kElemPicture = 31;
constexpr std::int32_t kElemMorph = 45;

// Element list filter: only elements on the active story.
constexpr std::int32_t kFilterActiveStory = 4;

// Identifier of an element: GUID text, e.g. "3F2504E0-4F89-41D3-9A0C-0305E82C3301".
using ElementId = std::string;

struct HostPoint2 {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const HostPoint2&) const = default;
};

struct HostPoint3 {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    bool operator==(const HostPoint3&) const = default;
};

// A curved segment of a polyline: the segment from point `begin` to point `end` (0-based
// positions in the points list, normally end = begin + 1) bulges by `angle` radians.
struct PolylineArc {
    std::int32_t begin = 0;
    std::int32_t end = 0;
    double angle = 0.0;
    bool operator==(const PolylineArc&) const = default;
};

// Type and placement common to every element.
struct ElementHeader {
    ElementId id;
    std::int32_t type = 0;
    std::int32_t layer = 0;
    std::int32_t story = 0;
    bool operator==(const ElementHeader&) const = default;
};

struct PolylineElement {
    std::int32_t layer = 1;
    std::int16_t pen = 1;
    std::vector<HostPoint2> points;  // at least 2
    std::vector<PolylineArc> arcs;   // straight segments have none
    bool operator==(const PolylineElement&) const = default;
};

struct TextElement {
    std::int32_t layer = 1;
    std::int16_t pen = 1;
    HostPoint2 position;             // the anchor point
    std::int32_t anchor = 1;         // anchor code (4 = centre)
    double size = 2.0;               // letter size
    double angle = 0.0;              // radians
    double widthFactor = 100.0;      // percent
    std::int32_t styleSetting1 = 0;  // two raw text settings the add-on sets to 1
    std::int32_t styleSetting2 = 0;
    std::string content;  // UTF-8
    bool operator==(const TextElement&) const = default;
};

struct FillElement {
    std::int32_t layer = 1;
    std::int16_t contourPen = 1;
    std::int32_t fillType = 0;  // fill attribute index (0 = the host's default)
    bool useOwnColour = false;  // foreground colour of the fill's own
    HostColour ownColour;
    bool useBackground = false;
    HostColour background;
    // Closed rings: the first is the outline, the others holes; each at least 3 distinct points.
    std::vector<std::vector<HostPoint2>> contours;
    bool operator==(const FillElement&) const = default;
};

struct MeshElement {
    std::int32_t layer = 1;
    std::int32_t material = 0;                        // surface material index (0 = default)
    double level = 0.0;                               // base level
    std::vector<HostPoint3> outline;                  // closed ring; z = height of the corner above level
    std::vector<std::vector<HostPoint3>> levelLines;  // a level point is a line of one point
    std::uint8_t byteSetting = 0;                     // three raw mesh settings the add-on sets
    std::int32_t flagSetting = 0;
    std::int64_t wideSetting = 0;
    bool operator==(const MeshElement&) const = default;
};

struct SlabElement {
    std::int32_t layer = 1;
    double level = 0.0;  // bottom level
    double thickness = 0.3;
    std::int32_t referenceCode = 0;     // raw reference-plane code
    std::int32_t extraSetting = 0;      // a raw slab field
    std::int32_t buildingMaterial = 0;  // kAttrBuildingMaterial index (0 = default)
    std::int32_t topMaterial = 0;       // surface materials (0 = from the building material)
    std::int32_t sideMaterial = 0;
    std::int32_t bottomMaterial = 0;
    std::vector<std::vector<HostPoint2>> contours;  // outline then holes, closed rings
    bool operator==(const SlabElement&) const = default;
};

// Morph body parts. Vertex and edge numbers start at 1 so that a negative edge number can
// name an edge walked backwards.
struct MorphEdge {
    std::int32_t from = 0;  // vertex numbers
    std::int32_t to = 0;
    bool operator==(const MorphEdge&) const = default;
};

struct MorphPolygon {
    std::vector<std::int32_t> edges;  // edge numbers in walking order; negative = reversed
    bool hasMaterial = false;         // overriding surface material present
    std::int32_t material = 0;
    bool operator==(const MorphPolygon&) const = default;
};

struct MorphElement {
    std::int32_t layer = 1;
    double transform[12] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};  // 3x4 row-major
    std::vector<HostPoint3> vertices;
    std::vector<MorphEdge> edges;
    std::vector<MorphPolygon> polygons;
    bool operator==(const MorphElement&) const = default;
};

struct PictureElement {
    std::int32_t layer = 1;
    HostPoint2 boxMin;  // unrotated box in project metres
    HostPoint2 boxMax;
    double angle = 0.0;  // rotation about boxMin, radians
    std::string mimeType = "image/png";
    std::vector<std::uint8_t> bytes;  // the image file's bytes
    bool operator==(const PictureElement&) const = default;
};

// Handle of a morph body under construction.
using MorphBodyId = std::int32_t;

// ---- Selection, alerts ------------------------------------------------------------------------

// Selection kinds: 0 = nothing selected.
constexpr std::int32_t kSelectionNone = 0;
constexpr std::int32_t kSelectionElements = 1;

struct Selection {
    std::int32_t kind = kSelectionNone;
    std::vector<ElementId> ids;  // in selection order; count = ids.size()
};

// Alert types.
constexpr std::int32_t kAlertError = -1;
constexpr std::int32_t kAlertWarning = -2;
constexpr std::int32_t kAlertInformation = -3;

struct AlertRequest {
    std::int32_t type = kAlertInformation;
    std::string title;
    std::string largeText;
    std::string smallText;
    std::vector<std::string> buttons;  // 1 to 3 button texts, first = default
};

// ---- The interface ----------------------------------------------------------------------------

// Closure run as one undoable command: non-zero (or an exception) undoes everything it did.
using UndoableBody = std::function<HostError()>;

class Host {
public:
    virtual ~Host() = default;

    // Attributes of one kind, indices 1..count.
    virtual HostError attributeCount(std::int32_t kind, std::int32_t& count) = 0;
    virtual HostError getAttribute(std::int32_t kind, std::int32_t index, Attribute& out) = 0;
    virtual HostError listAttributes(std::int32_t kind, std::vector<Attribute>& out) = 0;
    // Exact (byte-wise) name match; kHostNameNotFound when there is none.
    virtual HostError findAttribute(std::int32_t kind, const std::string& name, Attribute& out) = 0;
    // Creates attr (its kind and name); fills attr.index. kHostNameInUse for a taken name.
    virtual HostError createAttribute(Attribute& attr) = 0;

    // Default settings of each element kind (geometry empty).
    virtual HostError defaultPolyline(PolylineElement& out) = 0;
    virtual HostError defaultText(TextElement& out) = 0;
    virtual HostError defaultFill(FillElement& out) = 0;
    virtual HostError defaultMesh(MeshElement& out) = 0;
    virtual HostError defaultSlab(SlabElement& out) = 0;
    virtual HostError defaultMorph(MorphElement& out) = 0;
    virtual HostError defaultPicture(PictureElement& out) = 0;

    // Element creation on the active story; the new identifier goes to id.
    virtual HostError createPolyline(const PolylineElement& e, ElementId& id) = 0;
    virtual HostError createText(const TextElement& e, ElementId& id) = 0;
    virtual HostError createFill(const FillElement& e, ElementId& id) = 0;
    virtual HostError createMesh(const MeshElement& e, ElementId& id) = 0;
    virtual HostError createSlab(const SlabElement& e, ElementId& id) = 0;
    virtual HostError createMorph(const MorphElement& e, ElementId& id) = 0;
    virtual HostError createPicture(const PictureElement& e, ElementId& id) = 0;

    // Morph body builder: new body, parts (numbers returned start at 1), then finish into a
    // morph record (its vertices, edges, polygons replaced) and dispose.
    virtual HostError morphBodyNew(MorphBodyId& body) = 0;
    virtual HostError morphBodyAddVertex(MorphBodyId body, const HostPoint3& p, std::int32_t& vertex) = 0;
    virtual HostError morphBodyAddEdge(MorphBodyId body, std::int32_t from, std::int32_t to, std::int32_t& edge) = 0;
    virtual HostError morphBodyAddPolygon(MorphBodyId body, const MorphPolygon& polygon, std::int32_t& number) = 0;
    virtual HostError morphBodyFinish(MorphBodyId body, MorphElement& into) = 0;
    virtual HostError morphBodyDispose(MorphBodyId body) = 0;

    // Read-back: header of any element; full record of an element of the matching type.
    virtual HostError getElementHeader(const ElementId& id, ElementHeader& out) = 0;
    virtual HostError getPolyline(const ElementId& id, PolylineElement& out) = 0;
    virtual HostError getText(const ElementId& id, TextElement& out) = 0;
    virtual HostError getFill(const ElementId& id, FillElement& out) = 0;
    virtual HostError getMesh(const ElementId& id, MeshElement& out) = 0;
    virtual HostError getSlab(const ElementId& id, SlabElement& out) = 0;
    virtual HostError getMorph(const ElementId& id, MorphElement& out) = 0;
    virtual HostError getPicture(const ElementId& id, PictureElement& out) = 0;

    // Identifiers of all elements of a type in creation order (filter 0 = all stories, or
    // kFilterActiveStory).
    virtual HostError listElements(std::int32_t type, std::int32_t filter, std::vector<ElementId>& out) = 0;
    // Deletes all or nothing: an unknown id or a locked layer refuses the whole list.
    virtual HostError deleteElements(const std::vector<ElementId>& ids) = 0;
    // The element's ID text ("CEIS").
    virtual HostError setElementIdText(const ElementId& id, const std::string& text) = 0;
    virtual HostError getElementIdText(const ElementId& id, std::string& text) = 0;

    virtual HostError getSelection(Selection& out) = 0;

    // Geolocation ("GGEO"/"SGEO"); a project never georeferenced reads as all zeros.
    virtual HostError readGeoLocation(GeoLocation& out) = 0;
    virtual HostError writeGeoLocation(const GeoLocation& in) = 0;

    // One line in the report window (flag 0).
    virtual HostError reportLine(const std::string& text, std::int32_t flag = 0) = 0;
    // Modal alert; button gets the number of the pressed button (1 = first).
    virtual HostError alert(const AlertRequest& request, std::int32_t& button) = 0;

    // Runs body as one undoable command named name. A non-zero answer or an exception undoes
    // everything body did; the answer is returned, the exception rethrown.
    virtual HostError undoableCommand(const std::string& name, const UndoableBody& body) = 0;
};

// The installed host (one answering kHostNotSupplied until one is installed).
Host& host();
// Installs a host (not owned); nullptr puts the uninstalled host back.
void installHost(Host* h);

}  // namespace host
