// XML answers in the 8-bit encodings Central European servers declare (ISO-8859-2, windows-1250, ISO-8859-1,
// windows-1252, ISO-8859-15), turned into UTF-8 before anything reads them.
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace gml {

// The encoding named in the XML declaration ("" when there is no declaration or it names none).
std::string declaredXmlEncoding(std::string_view xml);
// The charset parameter of a Content-Type header value ("" when it has none).
std::string charsetOfContentType(std::string_view contentType);
// Whether an encoding label names UTF-8 (or US-ASCII, a subset of it): nothing to convert.
bool isUtf8Label(std::string_view label);
// Whether the label names one of the 8-bit encodings converted here.
bool isKnownSingleByteLabel(std::string_view label);
// The bytes in the labelled 8-bit encoding as UTF-8; nothing for a label not known here. Bytes the
// encoding leaves undefined become U+FFFD.
std::optional<std::string> singleByteToUtf8(std::string_view bytes, std::string_view label);
// UTF-8 text in the labelled 8-bit encoding; characters it cannot hold become '?'. Nothing for an unknown label.
std::optional<std::string> utf8ToSingleByte(std::string_view utf8, std::string_view label);

// Makes an XML document UTF-8: converted from the encoding its declaration names, or, when the declaration names
// none, from the HTTP charset; the declaration then names UTF-8. A document already in UTF-8, or in an
// encoding not known here, stays as it is. True when it was converted.
bool convertXmlToUtf8(std::string& xml, std::string_view httpCharset = {});

}  // namespace gml
