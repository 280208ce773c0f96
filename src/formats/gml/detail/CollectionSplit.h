// The top-level elements of a feature collection found textually, so that each can be parsed on its own.
#pragma once
#include <optional>
#include <string_view>
#include <vector>

namespace gml::detail {

struct CollectionParts {
    std::string_view rootTag;                // the root's start tag, from '<' to '>'
    std::string_view rootName;               // its qualified name
    std::vector<std::string_view> children;  // each element directly inside the root, start tag to end tag
};

// The parts of a UTF-8 document made of an optional declaration, comments, one root element holding
// elements, blanks and comments, and nothing after it but blanks. Nothing for anything else
// (DOCTYPE, processing instructions, text in the root, another encoding): such documents are read whole.
// A child is cut at the first end tag of its name, so a child whose text holds that end tag elsewhere
// (nested same-name elements, comments, CDATA) comes out cut short: it is then no well-formed element,
// which the caller detects when parsing it.
std::optional<CollectionParts> splitCollection(std::string_view gml);

// Whether the XML reader takes the text as UTF-8 as it stands: no mark or declaration of another encoding,
// which it would convert first (and then count error offsets in the converted text).
bool readAsUtf8(std::string_view gml);

}  // namespace gml::detail
