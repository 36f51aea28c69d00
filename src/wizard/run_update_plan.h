// The update items of one run as a plan: what the rules decide for each item,
// then the staged file that carries its new content, then its place in the
// commit. The run goes plan, stage, commit:
//
//   - PlanUpdateItems decides, in list order, what each item does, without
//     writing any game file and without showing anything. It stops at the
//     first item that fails.
//   - CreateStagedFile and FillStagedFile (staged_file.h) put one item's new
//     content into a new file beside its target. They touch no game file and
//     show nothing; the filling can run side by side, and the run reports the
//     first failure in list order.
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

// True when the file at path was last written after time (a FILETIME as 64
// bits). A file that cannot be opened or asked for its time counts as older.
int IsFileNewerThan(const char* path, uint64_t time);

#endif
