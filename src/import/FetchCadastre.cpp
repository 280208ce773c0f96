#include "import/FetchGroups.h"

void fetchCadastreGroup(FetchContext&) {}
