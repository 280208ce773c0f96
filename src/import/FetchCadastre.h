// Cadastral parcels and buildings of a fetch, with the national new-buildings layer as fallback.
#pragma once

namespace importer {

struct FetchContext;

// Cadastral parcels and buildings ("dzialki", "budynki") with the BDOT10k building fallback.
void fetchCadastreGroup(FetchContext& ctx);

}  // namespace importer
