// Fuzz target for the settings file: any text gives settings that write and read back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/Settings.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const settings::Settings read = settings::settingsFromJsonText({reinterpret_cast<const char*>(data), size});
    const std::string text = settings::settingsToJsonText(read);
    if (settings::settingsToJsonText(settings::settingsFromJsonText(text)) != text) std::abort();
    return 0;
}
