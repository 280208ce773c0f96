// Whether an answer is what the caller asked for: a failed request that came with status 200 (an empty body,
// an HTML page, a service exception, a cut-off file) must never be used or cached as data.
#pragma once
#include <string_view>

namespace net {

enum class AnswerKind {
    any,                // any data: not empty, no HTML page, no service exception
    xml,                // an XML document (capabilities)
    featureCollection,  // a whole GML feature collection, its root element closed
    gridText,           // an ESRI ASCII grid (its header comes first)
    image,              // a whole PNG or JPEG picture
    lasFile,            // the start of a LAS or LAZ file
    json,               // a JSON object or array
};

// True when the body (for a file: its first bytes are enough except for `image`) is of the kind.
bool isAnswerOfKind(std::string_view body, AnswerKind kind);
// True when the body is an HTML page (an error or login page served in place of data).
bool isHtmlPage(std::string_view body);
// True when the bytes are a PNG file whose chunks are all whole (checksums included) up to IEND,
// or a JPEG file from its start marker to its end marker.
bool isCompleteImage(std::string_view body);

}  // namespace net
