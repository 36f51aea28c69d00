// The steps of RunUpdate, each in a file of its own. Every step that can fail
// reports the failure itself and ends the dialog with -1 before it returns 0;
// RunUpdate then only returns.
#ifndef WIZARD_RUN_UPDATE_STEPS_H
#define WIZARD_RUN_UPDATE_STEPS_H

#include <windows.h>

#include "config/update_items.h"

// The wizard's buttons that the run touches, and the Info field.
constexpr int kNextButton = 1;
constexpr int kCancelButton = 2;
constexpr int kBackButton = 4;

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

// Reads UpdateFile00.. and CopyFile00.. into items, keeping the items that
// apply in the install mode of the installed game.
void CollectUpdateItems(UpdateRunItems& items);
void CollectDiscCopyItems(UpdateRunItems& items);

// Writes the update items in order. overwriteOnly holds back every item whose
// target is not an existing file. Returns 1 when every item is done.
int WriteUpdateItems(HWND dialog, const UpdateRunItems& items, int overwriteOnly);

// Copies the disc items in order, asking for discs as needed. Returns 1 when
// every item is copied.
int CopyDiscItems(HWND dialog, const UpdateRunItems& items);

// Enables or disables one of the wizard's buttons.
void EnableButton(HWND dialog, int id, BOOL enable);

#endif
