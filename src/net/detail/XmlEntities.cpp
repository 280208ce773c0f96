#include "net/detail/XmlEntities.h"

#include "platform/Numbers.h"

namespace net::detail {

std::string decodeXmlEntities(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '&') {
            out += text[i];
            continue;
        }
        const std::size_t end = text.find(';', i);
        const std::string_view name =
            end == std::string_view::npos ? std::string_view() : text.substr(i + 1, end - i - 1);
        char decoded = 0;
        if (name == "amp") decoded = '&';
        else if (name == "lt") decoded = '<';
        else if (name == "gt") decoded = '>';
        else if (name == "quot") decoded = '"';
        else if (name == "apos") decoded = '\'';
        else if (name.size() >= 2 && name.size() <= 4 && name[0] == '#') {
            long long code = 0;
            if (platform::parseInt(name.substr(1), code) && code >= 32 && code < 127) decoded = static_cast<char>(code);
        }
        if (decoded == 0) {
            out += '&';
            continue;
        }
        out += decoded;
        i = end;
    }
    return out;
}

}  // namespace net::detail
