// The 8-bit code pages met in Polish data: the XML answers of Central European servers and the drawings of
// Polish CAD users (ISO-8859-2, windows-1250, ISO-8859-1, windows-1252, ISO-8859-15).
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

// Code points of the bytes 0x80..0xFF; kUndefinedCodePoint where the code page defines none.
using CodePageHigh = std::array<std::uint16_t, 128>;
inline constexpr std::uint16_t kUndefinedCodePoint = 0xFFFD;

// An encoding label in lower case without blanks, quotes, '-' and '_', so "ISO_8859-2" and "iso-8859-2" agree.
std::string normalisedEncodingLabel(std::string_view label);
// The code page an encoding label names (with its usual aliases), or null.
const CodePageHigh* codePageFor(std::string_view label);

}  // namespace platform
