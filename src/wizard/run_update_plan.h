// The update items of one run as a plan: what the rules decide for each item,
// then the staged file that carries its new content, then its place in the
// commit. The run goes plan, stage, commit:
//
//   - PlanUpdateItems decides, in list order, what each item does, without
//     writing any game file and without showing anything. It stops at the
//     first item that fails.
//   - CreateStagedFile and FillStagedFile put one item's new content into a
//     new file beside its target. They touch no game file and show nothing;
//     the filling can run side by side, and the run reports the first failure
//     in list order.
//   - the commit (run_update_commit.cpp) moves every target aside and every
//     staged file into its place, and can put everything back.
#ifndef WIZARD_RUN_UPDATE_PLAN_H
#define WIZARD_RUN_UPDATE_PLAN_H

#include <windows.h>

#include <cstdint>

#include "archive/archive_format.h"
#include "common/updater_state_win32.h"
#include "config/update_items.h"
#include "platform/update_journal.h"

enum class ItemAction {
  Skip,       // held back by the existence gate
  Keep,       // an Update item whose target is newer than the entry
  PlaceEntry, // the archive entry replaces or creates the target
  PlaceData,  // a Data item: the player's own bytes are written back
};

struct PlannedItem {
  ItemAction Action;
  char Target[kFullPathSize];
  // The DataFolder level that holds Target, created when the item is staged
  // (empty when there is no DataFolder).
  char Folder[kFullPathSize];
  // The existing target's attributes, INVALID_FILE_ATTRIBUTES when there is
  // none.
  DWORD TargetAttributes;
  // PlaceEntry: the entry, by its index in State.Archive, and its record.
  uint32_t EntryIndex;
  const ArchiveEntry* Entry;
  int Patched;  // the entry is a patch made from the installed file (item_patches.h)
  // PlaceData: the player's file, read whole (a GlobalAlloc block).
  void* DataBlock;
  uint32_t DataSize;
  // Staging and commit.
  char Staged[kFullPathSize];
  HANDLE StagedFile;  // open from staging until the commit has flushed it
  int Flushed;        // the staged file is on the disk already
  volatile LONG64 Written;  // bytes in the staged file so far, for the run's progress
  // Failure: the box that tells why, shown before "ファイルの書き込みに失敗しました"
  // (empty when there is none).
  int Failed;
  char FailureText[kLongTextSize];
  // The installed file is no base of the item's patches and there is no
  // full entry: the update is not for this version, and nothing is staged.
  int NotPatchable;
};

struct UpdatePlan {
  PlannedItem Items[kUpdateListKeys];
  int Count;  // items planned; the last one may have failed
};

// Plans items in list order (see above). overwriteOnly holds back every item
// whose target is not an existing file. Returns 1 when every item passed;
// on 0 the last planned item (plan.Count - 1) is the one that failed.
int PlanUpdateItems(const UpdateItem* items, int count, int overwriteOnly, UpdatePlan& plan);

// Marks the item failed, with text (or none) as the box that tells why.
// Returns 0.
int FailItem(PlannedItem& item, const char* text);

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

// The free-space check of an item: the drive of target (its first two bytes,
// as "C:") must have size bytes free for this process. Returns 1 when it has,
// or when the drive cannot be asked; else 0 with the shortfall message
// ("ディスク容量が足りません。...", kLongTextSize bytes) in shortfall.
int CheckEntrySpace(const char* target, uint64_t size, char* shortfall);

// The room that a file of size bytes takes on the drive of path (its first
// two bytes, as "C:"): size rounded up to whole clusters.
uint64_t ClusterRoom(const char* path, uint64_t size);

// True when the file at path was last written after time (a FILETIME as 64
// bits). A file that cannot be opened or asked for its time counts as older.
int IsFileNewerThan(const char* path, uint64_t time);

// Closes the staged files that are still open and releases the plan's blocks
// (the Data items' bytes). The files themselves are the journal's to remove.
void ReleasePlan(UpdatePlan& plan);

#endif
