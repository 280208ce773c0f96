#include "platform/PrintableText.h"

#include <algorithm>

namespace platform {

std::string printableText(std::string_view text, std::size_t maxBytes) {
    std::string out;
    const std::size_t n = std::min(text.size(), maxBytes);
    out.reserve(n + 3);
    for (std::size_t i = 0; i < n; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // U+0080..U+009F in UTF-8: C2 80..C2 9F (a terminal may take them as CSI and others).
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
            out += '?';
            ++i;
        } else if ((c < 0x20 && c != '\t') || c == 0x7F) {
            out += '?';
        } else {
            out += static_cast<char>(c);
        }
    }
    if (text.size() > maxBytes) out += "...";
    return out;
}

}  // namespace platform
