// Fuzz target for the side index of a package: any bytes a damaged cache may hold must neither crash nor give a
// sheet that the index, written again, does not give back the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "buildings/SheetIndex.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto sheets = buildings::parseSheetIndex(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::string once = buildings::sheetIndexText(sheets);
    const std::string twice = buildings::sheetIndexText(buildings::parseSheetIndex(once));
    if (once != twice) std::abort();
    return 0;
}
