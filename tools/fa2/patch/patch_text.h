// fa2's wording of the faults that a patch entry can have.
#ifndef FA2_PATCH_PATCH_TEXT_H
#define FA2_PATCH_PATCH_TEXT_H

#include "archive/archive_reader.h"

// A phrase for a patch problem (kArchivePatchRecord to kArchivePatchMismatch).
const char* DescribePatchProblem(ArchiveProblem why);

#endif
