// The capabilities document of an OGC service.
#pragma once
#include <string>

#include "net/HttpResponse.h"

namespace net {

class WfsClient;

// Capabilities of a WMS or WFS (service "WMS" or "WFS") through the web client.
HttpResponse getCapabilities(WfsClient& client, const std::string& baseUrl, const std::string& service);

}  // namespace net
