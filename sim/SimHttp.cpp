#include "SimHttp.h"

#include <cctype>

namespace sim {

namespace {
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return c - 'A' + 10;
}
}  // namespace

bool equalsNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string percentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
                   std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> parseQuery(const std::string& query) {
    std::vector<std::pair<std::string, std::string>> out;
    std::size_t pos = 0;
    while (pos <= query.size()) {
        auto end = query.find('&', pos);
        if (end == std::string::npos) end = query.size();
        const std::string item = query.substr(pos, end - pos);
        if (!item.empty()) {
            const auto eq = item.find('=');
            if (eq == std::string::npos) out.emplace_back(percentDecode(item), "");
            else out.emplace_back(percentDecode(item.substr(0, eq)), percentDecode(item.substr(eq + 1)));
        }
        pos = end + 1;
    }
    return out;
}

std::string SimRequest::param(const std::string& name) const {
    for (const auto& [key, value] : params)
        if (equalsNoCase(key, name)) return value;
    return {};
}

bool SimRequest::hasParam(const std::string& name) const {
    for (const auto& item : params)
        if (equalsNoCase(item.first, name)) return true;
    return false;
}

std::string SimRequest::header(const std::string& name) const {
    for (const auto& [key, value] : headers)
        if (equalsNoCase(key, name)) return value;
    return {};
}

}  // namespace sim
