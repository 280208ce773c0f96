#include "import/ImportController.h"

FetchedData ImportController::fetchForImport(const Bbox&, const std::vector<std::string>&, int, int, double) {
    // No layer source is wired in yet: every fetch comes back empty and the page says so.
    return FetchedData{};
}
