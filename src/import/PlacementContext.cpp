#include "import/PlacementContext.h"

#include <algorithm>

namespace importer {

bool PlacementContext::selected(const std::string& key) const {
    return std::find(layerKeys.begin(), layerKeys.end(), key) != layerKeys.end();
}

host::HostError PlacementContext::abort(const std::string& message) {
    result.error = message;
    return host::kHostGeneralError;
}

void PlacementContext::note(const std::string& text) {
    if (text.empty()) return;
    if (!result.warnings.empty()) result.warnings += ' ';
    result.warnings += text;
}

}  // namespace importer
