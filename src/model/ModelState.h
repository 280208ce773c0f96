// Everything a project holds: attributes, elements, geolocation, active story and selection.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "host/Host.h"

namespace model {

// The geometry and settings of one element, by kind.
using ElementBody = std::variant<host::PolylineElement, host::TextElement, host::FillElement, host::MeshElement,
                                 host::SlabElement, host::MorphElement, host::PictureElement>;

// One element as the model keeps it.
struct StoredElement {
    host::ElementHeader header;  // id, type, layer and story (layer mirrors the body's)
    std::string idText;          // the element's ID text ("CEIS")
    ElementBody body;
    bool operator==(const StoredElement&) const = default;
};

struct ModelState {
    std::map<std::int32_t, std::vector<host::Attribute>> attributes;  // kind -> attributes by index - 1
    std::vector<StoredElement> elements;                              // creation order
    bool geoLocationSet = false;                                      // false until the project is first georeferenced
    host::GeoLocation geoLocation;
    std::int32_t activeStory = 0;
    std::vector<host::ElementId> selection;
    bool operator==(const ModelState&) const = default;
};

// A new project: one layer, a solid and a few vectorial fills, a few materials, nothing else.
ModelState newProjectState();
// The host's element type code of a body.
std::int32_t elementTypeOf(const ElementBody& body);
// The layer index a body names.
std::int32_t elementLayerOf(const ElementBody& body);
// Checks an element's geometry and settings against the model (layers, fills, materials exist,
// numbers finite, enough points, consistent indices). kHostOk or the host's refusal code.
host::HostError checkElement(const ElementBody& body, const ModelState& state);
// Checks an attribute about to be added to the model (known kind, name 1..255 bytes and free).
host::HostError checkNewAttribute(const host::Attribute& attr, const ModelState& state);
// Checks a geolocation record (every number finite).
host::HostError checkGeoLocation(const host::GeoLocation& geo);
// The text with every invalid UTF-8 sequence replaced by U+FFFD, as the host stores texts.
std::string validUtf8(const std::string& text);

}  // namespace model
