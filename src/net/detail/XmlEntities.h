// Entity references in XML text read by scanning rather than parsing (tile-index addresses, next links).
#pragma once
#include <string>
#include <string_view>

namespace net::detail {

// The five predefined XML entities and numeric ASCII references decoded; anything else stays as written, so an
// address with a bare "&" keeps it.
std::string decodeXmlEntities(std::string_view text);

}  // namespace net::detail
