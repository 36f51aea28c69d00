// `fa2 check`'s findings about patch entries.
#ifndef FA2_PATCH_PATCH_FINDINGS_H
#define FA2_PATCH_PATCH_FINDINGS_H

#include <cstdint>
#include <vector>

#include "fa2/check/update_check.h"

// Adds a warning for every entry that has patches but no full entry: an
// installed file that none of its patches was made from stops the update.
void AddPatchFindings(const std::vector<uint8_t>& payload, std::vector<CheckFinding>* findings);

#endif
