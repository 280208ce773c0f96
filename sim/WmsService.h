// A simulated WMS (1.1.1 and 1.3.0): GetCapabilities and GetMap rendered as PNG or JPEG.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "FeatureStore.h"
#include "SimHttp.h"

namespace sim {

class RasterCanvas;

class WmsService {
public:
    // A layer: a tint and, optionally, features drawn as outlines from a store's type, or a picture painted
    // from a world description.
    struct Layer {
        std::string name;
        std::string title;
        std::uint32_t rgba = 0x3070C0FF;
        std::shared_ptr<FeatureStore> store;
        std::string typeName;
        std::function<void(RasterCanvas&)> paint;
    };

    void addLayer(Layer layer);
    std::vector<int> systems = {2180, 2176, 2177, 2178, 2179};  // EPSG codes announced and accepted
    int maxSize = 4096;                                         // largest WIDTH or HEIGHT served

    bool handle(const SimRequest& request, SimResponse& response) const;

private:
    void capabilities(const SimRequest& request, SimResponse& response) const;
    void getMap(const SimRequest& request, SimResponse& response) const;

    std::vector<Layer> layers_;
};

// A WMS service exception report (status 200, as servers send it in place of an image).
std::string wmsExceptionReport(const std::string& code, const std::string& text);

}  // namespace sim
