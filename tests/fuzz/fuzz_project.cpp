// Fuzz target for project files: any text either loads into a model that saves and loads back to the same
// text, or is refused with a message and leaves the model untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/ProjectFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    model::ModelState state;
    const model::ProjectFileStatus loaded = model::projectFromText(text, state);
    if (!loaded.ok) {
        if (loaded.error.empty() || !state.elements.empty()) std::abort();
        return 0;
    }
    const std::string saved = model::projectToText(state);
    model::ModelState again;
    if (!model::projectFromText(saved, again).ok || model::projectToText(again) != saved) std::abort();
    return 0;
}
