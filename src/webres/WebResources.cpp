#include "webres/WebResources.h"

#include "webres/detail/ResourceTable.h"

namespace webres {

const Resource* findResource(std::int32_t id) {
    for (const Resource& r : detail::resourceTable()) {
        if (r.id == id) return &r;
    }
    return nullptr;
}

}  // namespace webres
