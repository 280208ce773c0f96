#include "net/UrlText.h"

#include "platform/Numbers.h"

namespace net {

std::string hostOfUrl(const std::string& url) {
    if (url.size() < 3) return url;
    const auto schemeEnd = url.find("://");
    if (schemeEnd == std::string::npos) return url;
    const auto start = schemeEnd + 3;
    const auto end = url.find('/', start);
    return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string urlEncode(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (unsigned char c : text) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '.' || c == '_' || c == '~';
        if (keep) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0x0F];
        }
    }
    return out;
}

std::string formatByteSize(long long bytes) {
    std::string text;
    if (bytes < 1024) {
        text = platform::cformat("%lld B", bytes);
    } else if (bytes < 1048576) {
        text = platform::cformat("%.1f KB", static_cast<double>(bytes) / 1024.0);
    } else {
        text = platform::cformat("%.1f MB", static_cast<double>(bytes) / 1048576.0);
    }
    for (char& c : text)
        if (c == '.') c = ',';
    return text;
}

}  // namespace net
