// Text from files and servers made safe to show: a message must never carry terminal control sequences.
#pragma once
#include <string>
#include <string_view>

namespace platform {

// The text with every control byte (below 0x20 but tab, and 0x7F) and every C1 control character (U+0080 to
// U+009F) replaced by '?', cut after `maxBytes` bytes with "..." appended.
std::string printableText(std::string_view text, std::size_t maxBytes = 200);

}  // namespace platform
