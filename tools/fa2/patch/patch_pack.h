// `fa2 pack --from OLD_GAME... [--keep-full]`: the patch entries of an update.
//
// For every item of UPDATE.INI that writes a file below InstPath (plain, "u"
// and "o" items; in every install mode) and every OLD_GAME folder that holds
// a file at that item's place (DataFolder\ItemName below the folder), a patch
// from that file to the packed file is made, and kept when it is clearly
// smaller (under nine tenths) than the full entry. Identical base files
// share one patch; a base over 2 GiB gets none (a warning says so). Without
// keepFull, a file whose every item has a kept patch from every OLD_GAME
// loses its full entry.
#ifndef FA2_PATCH_PATCH_PACK_H
#define FA2_PATCH_PATCH_PACK_H

#include <cstdint>
#include <string>
#include <vector>

#include "fa2/archive/archive_writer.h"

struct PatchInput {
  std::string path;   // the new file on the host
  std::string name;   // its entry name, CP932
  uint64_t fileTime;  // its entry's time
};

struct PatchOutcome {
  std::vector<PackedEntry> patches;  // in the order of the inputs
  std::vector<bool> dropFull;        // per input: leave its full entry out
};

// Makes the patches (on as many threads as the processor has cores, with
// progress on a terminal headed by label); level is the full entries' level,
// for the size comparison. Reports every failure itself and returns 0 then.
int MakeUpdatePatches(const std::vector<PatchInput>& inputs, const std::vector<std::string>& from,
                      bool keepFull, int level, const char* label, PatchOutcome* outcome);

#endif
