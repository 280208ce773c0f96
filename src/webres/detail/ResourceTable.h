// The generated table of embedded resources (written by embed_resources.py).
#pragma once
#include <span>

#include "webres/WebResources.h"

namespace webres::detail {

std::span<const Resource> resourceTable();

}  // namespace webres::detail
