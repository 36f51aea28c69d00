// Patch entries in the update run (archive/patch_format.h). While the items
// are planned, an item whose entry has patches gets the one made from the
// installed file, found by that file's size and XXH3-128; the staged file is
// then decoded from the patch with the installed file mapped read-only as its
// reference, and must have the new file's hash before the commit. Everything
// else (staging, journal, commit, roll-back) is the same as for a full entry.
#ifndef WIZARD_ITEM_PATCHES_H
#define WIZARD_ITEM_PATCHES_H

#include "wizard/run_update_plan.h"

// The item's entry in State.Archive: the full entry of that name, or, when
// there is none, its first patch (whose record has the new file's size and
// time). Returns 0 when there is neither.
int FindItemEntry(const char* name, PlannedItem& planned);

// Called for an item that will be written from the archive: when its entry
// has patches, hashes the installed file at the target and takes the patch
// made from it (planned.Patched, planned.EntryIndex and planned.Entry name the
// patch). Without a match the full entry is kept; when there is none the item
// fails with kNotPatchableFormat (common/updater_contract.h) for its target.
// Returns 1, or 0 with the item failed.
int ChooseItemPatch(const char* name, PlannedItem& planned);

// Fills the item's staged file from its patch (see above), using buffer (of
// bufferSize bytes, the filling worker's) for the zeros written ahead of the
// decoder. Returns 1, or 0 with the item failed: kReadErrorMessage for a
// damaged frame, the version message for an installed file that no longer
// is the patch's base, no text for a write that failed.
int WritePatchedFile(PlannedItem& item, uint8_t* buffer, size_t bufferSize);

#endif
