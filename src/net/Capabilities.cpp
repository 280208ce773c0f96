#include "net/Capabilities.h"

#include "net/WfsClient.h"

namespace net {

HttpResponse getCapabilities(WfsClient& client, const std::string& baseUrl, const std::string& service) {
    const char* separator = baseUrl.find('?') != std::string::npos ? "&" : "?";
    return client.get(baseUrl + separator + "service=" + service + "&request=GetCapabilities");
}

}  // namespace net
