#include "browser/detail/RequestChecks.h"

#include <system_error>

namespace browser::detail {

namespace {

// Compares without stopping at the first difference, so timing tells nothing about the secret.
bool sameText(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (std::size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

bool ownHost(const std::string& host, int port) {
    const std::string p = ":" + std::to_string(port);
    return host == "127.0.0.1" + p || host == "localhost" + p;
}

}  // namespace

bool admitted(const RequestParts& r, int port, const std::string& secret) {
    if (!ownHost(r.host, port)) return false;
    if (r.path.size() < secret.size() + 2 || r.path[0] != '/' || r.path[secret.size() + 1] != '/') return false;
    if (!sameText(r.path.substr(1, secret.size()), secret)) return false;
    if (r.origin.empty()) {
        if (r.method != "GET" && r.method != "HEAD") return false;
    } else if (r.origin.rfind("http://", 0) != 0 || !ownHost(r.origin.substr(7), port)) {
        return false;
    }
    return r.fetchSite.empty() || r.fetchSite == "same-origin" || r.fetchSite == "none";
}

bool resolveInside(const std::filesystem::path& root, const std::string& relative, std::filesystem::path& out) {
    if (relative.empty() || relative.find('\\') != std::string::npos || relative.find('\0') != std::string::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start <= relative.size()) {
        const std::size_t end = relative.find('/', start);
        const std::string part = relative.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part[0] == '.') return false;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::error_code ec;
    const auto realRoot = std::filesystem::canonical(root, ec);
    if (ec) return false;
    const auto real = std::filesystem::canonical(root / relative, ec);
    if (ec || !std::filesystem::is_regular_file(real, ec)) return false;
    const auto rel = real.lexically_relative(realRoot);
    if (rel.empty() || *rel.begin() == "..") return false;
    out = real;
    return true;
}

}  // namespace browser::detail
