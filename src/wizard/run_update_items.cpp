// The two item lists of section UPDATE. Each list is read from index 00 up
// and ends at its first missing or empty key, so a gap hides every later key;
// index 16 is never read.
#include "common/updater_state_win32.h"
#include "config/settings_access_win32.h"
#include "config/update_items_win32.h"
#include "wizard/run_update_steps.h"

void CollectUpdateItems(UpdateRunItems& items) {
  for (int index = 0; index < kUpdateListKeys; ++index) {
    char key[kUpdateKeyNameSize];
    char value[kUpdateValueSize];
    FormatUpdateFileKey(key, sizeof key, index);
    if (!ReadUpdateKey("UPDATE", key, value, sizeof value)) return;
    // An item for another install mode is dropped; the list goes on.
    UpdateItem& row = items.UpdateItems[items.UpdateCount];
    if (TakeUpdateItem(value, row)) ++items.UpdateCount;
  }
}

void CollectDiscCopyItems(UpdateRunItems& items) {
  for (int index = 0; index < kUpdateListKeys; ++index) {
    char key[kUpdateKeyNameSize];
    char value[kCopyValueSize];
    FormatCopyFileKey(key, sizeof key, index);
    if (!ReadUpdateKey("UPDATE", key, value, sizeof value)) return;
    DiscCopyItem& row = items.DiscCopyItems[items.CopyCount];
    if (TakeDiscCopyItem(value, row)) ++items.CopyCount;
  }
}
