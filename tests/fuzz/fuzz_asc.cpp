// Fuzz target for the ESRI ASCII grid reader: any bytes must neither crash nor give a grid whose size
// disagrees with its values, and a failure's message never carries control bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "formats/grid/AsciiGrid.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    grid::ElevationGrid g;
    const grid::AsciiGridStatus status = grid::parseAsciiGrid(g, {reinterpret_cast<const char*>(data), size});
    if (status.ok) {
        if (g.ncols < 1 || g.nrows < 1) std::abort();
        if (g.values.size() != static_cast<std::size_t>(g.ncols) * static_cast<std::size_t>(g.nrows)) std::abort();
        double z = 0;
        grid::sampleGrid(g, g.x0, g.y0, z);
    } else {
        for (char c : status.message)
            if (c == '\x1b' || c == '\0') std::abort();
    }
    return 0;
}
