// Utility networks of a fetch: county WFS, else county WMS, else the national integration WMS.
#pragma once

namespace importer {

struct FetchContext;

// Utility networks ("gesut"): county WFS, else county WMS, else the national integration WMS.
void fetchUtilitiesGroup(FetchContext& ctx);

}  // namespace importer
