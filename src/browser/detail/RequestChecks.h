// What a request must show before it reaches the add-on, and where a file may be read from.
#pragma once
#include <filesystem>
#include <string>

namespace browser::detail {

struct RequestParts {
    std::string method;
    std::string path;
    std::string host;       // "" when absent
    std::string origin;     // "" when absent
    std::string fetchSite;  // Sec-Fetch-Site, "" when absent
};

// The Host is this server's own (a name that resolves elsewhere could rebind to us), the path starts
// with the secret, an Origin (required for anything but GET) is this server's own, and a browser that
// says the request comes from another site is refused.
bool admitted(const RequestParts& request, int port, const std::string& secret);

// The file under root named by a relative URL path: no "..", no hidden or empty parts, and the real
// path (symbolic links followed) still inside root; false otherwise.
bool resolveInside(const std::filesystem::path& root, const std::string& relative, std::filesystem::path& out);

}  // namespace browser::detail
