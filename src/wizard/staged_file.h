// The staged files of a run: each planned item's new content in a new file
// beside its target, made in list order and filled side by side, and the
// plan's hold on them let go of at the end.
#ifndef WIZARD_STAGED_FILE_H
#define WIZARD_STAGED_FILE_H

#include <cstddef>
#include <cstdint>

#include "wizard/run_update_plan.h"

// Whether the item is written through a staged file (PlaceEntry, PlaceData).
int HasStagedFile(const PlannedItem& item);

// Staging one planned item, in two steps. CreateStagedFile checks the room,
// creates the item's DataFolder level when it is missing (named in the
// journal first, so that a roll-back removes it), names the staged file in
// the journal and creates it; it is called on one
// thread, item by item in list order. The staged files of earlier items are
// still empty then: pending is the room that they and the journal will take
// on the item's drive, and the drive must have it beside the item's own. FillStagedFile
// writes the content and the time, decoding through buffer (bufferSize bytes,
// at least kArchiveEntryPartMinBuffer); it touches nothing but the item, its
// staged file and the buffer, so items can be filled side by side, each
// thread with its own buffer. Items without a staged file pass both. Each
// returns 1, or 0 with the item marked Failed.
int CreateStagedFile(PlannedItem& item, uint64_t pending);
int FillStagedFile(PlannedItem& item, uint8_t* buffer, size_t bufferSize);

// The room that the item's staged file takes (0 when it has none).
uint64_t StagedSize(const PlannedItem& item);

// Fills the staged files of the first count items of the plan (all created)
// on worker threads, no more than the processor's cores and the items, while
// one more thread flushes each filled file to the disk (setting Flushed), and
// returns when all of them are done. Returns the first item in list order
// whose filling failed, or -1. Items after that one may be left unfilled.
int FillStagedFiles(UpdatePlan& plan, int count);

// Closes the staged files that are still open and releases the plan's blocks
// (the Data items' bytes). The files themselves are the journal's to remove.
void ReleasePlan(UpdatePlan& plan);

#endif
