// Drawing cleanup: the nouns of this folder.
#pragma once
// PolylineRecord, TextRecord, DuplicateSegment and the tolerance that makes two drawings one.
#include "cleanup/DuplicateMatch.h"
// cleanup::RunRemoveDuplicatesCommand and removeDuplicates with its CleanupOutcome.
#include "cleanup/PolylineCleaner.h"
