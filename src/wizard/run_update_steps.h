// The steps of RunUpdate, each in a file of its own. Every step that can fail
// reports the failure itself and ends the dialog with -1 before it returns 0;
// RunUpdate then only returns.
#ifndef WIZARD_RUN_UPDATE_STEPS_H
#define WIZARD_RUN_UPDATE_STEPS_H

#include <windows.h>

#include "config/update_items.h"
#include "wizard/run_update_plan.h"

// The tables of one run; nothing of them outlives the call.
struct UpdateRunItems {
  UpdateItem UpdateItems[kUpdateListKeys];
  int UpdateCount;
  DiscCopyItem DiscCopyItems[kUpdateListKeys];
  int CopyCount;
};

// Checks that the drive of InstPath has RequiredDiskSpace bytes free. Returns
// 1 when it has, or when there is nothing to check. Returns 0 after it has
// shown the shortfall in the Info field and set the buttons for Back.
int CheckRequiredSpace(HWND dialog);

// The free-space check of an item: the drive of target (its first two bytes,
// as "C:") must have size bytes free for this process. Returns 1 when it has,
// or when the drive cannot be asked; else 0 with the shortfall message
// ("ディスク容量が足りません。...", kLongTextSize bytes) in shortfall.
int CheckEntrySpace(const char* target, uint64_t size, char* shortfall);

// The room that a file of size bytes takes on the drive of path (its first
// two bytes, as "C:"): size rounded up to whole clusters.
uint64_t ClusterRoom(const char* path, uint64_t size);

// Reads UpdateFile00.. and CopyFile00.. into items, keeping the items that
// apply in the install mode of the installed game.
void CollectUpdateItems(UpdateRunItems& items);
void CollectDiscCopyItems(UpdateRunItems& items);

// Plans and stages the update items (run_update_plan.h). Returns 1 when every
// item that is to be written has its staged file. On 0 no game file has been
// touched, the staged files are gone, the first failing item in list order
// has been reported with the boxes of an item-by-item run, and the dialog is
// ended.
int StageUpdateItems(HWND dialog, const UpdateRunItems& items, int overwriteOnly,
                     UpdatePlan& plan);

// Flushes the staged files, then moves each existing target aside and each
// staged file into its place. Returns 1; on 0 everything is back as it was,
// the failure has been reported and the dialog is ended.
int CommitUpdateItems(HWND dialog, UpdatePlan& plan);

// Puts every target that the run moved aside back, removes the run's new
// files and staged files, and says which file could not be restored, if one
// could not. Files copied from the disc stay.
void RollBackUpdate(UpdatePlan& plan);

// The end of a run whose every item is in place: marks the run complete in
// the journal, ends the plan, shows the "完了" page and then has the backups
// and the journal deleted (FinishJournal) while the player reads it. Returns
// 1; on 0 the run has been rolled back and reported, and the dialog is ended.
int FinishUpdate(HWND dialog, UpdatePlan& plan);

// Copies the disc items in order, asking for discs as needed. Returns 1 when
// every item is copied.
int CopyDiscItems(HWND dialog, const UpdateRunItems& items);

#endif
