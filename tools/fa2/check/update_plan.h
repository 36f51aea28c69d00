// What each item of an update would do on a player's machine, for 'fa2 check
// --plan': one line an item, in the order the run reads them, with its install
// modes, what its kind does, its target below InstPath or DataPath (and
// DataFolder) and its entry's size. Platform-neutral and pure; the texts are
// in the host's character set.
#ifndef FA2_CHECK_UPDATE_PLAN_H
#define FA2_CHECK_UPDATE_PLAN_H

#include <string>
#include <vector>

#include "fa2/check/update_check.h"

// The plan's lines, tab-separated: key, install modes, what is done, target,
// entry and its size. Empty when the update has no UPDATE.INI.
std::vector<std::string> PlanUpdate(const UpdateCheckInput& input);

#endif
