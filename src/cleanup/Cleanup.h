// Drawing cleanup: the nouns of this folder.
#pragma once
// PolylineRecord, TextRecord, DuplicateSegment and the keys that group equal drawings.
#include "cleanup/DuplicateKeys.h"
// cleanup::RunRemoveDuplicatesCommand and removeDuplicates with its CleanupOutcome.
#include "cleanup/PolylineCleaner.h"
