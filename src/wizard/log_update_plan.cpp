#include "wizard/log_update_plan.h"

#include "platform/run_log_win32.h"

void LogUpdatePlan(const UpdatePlan& plan) {
  for (int i = 0; i < plan.Count; ++i) {
    const PlannedItem& item = plan.Items[i];
    if (item.Failed) continue;  // logged where it failed
    switch (item.Action) {
      case ItemAction::Skip:
        LogLine("item %i: %s: left alone (no file there to overwrite, or too large to hold)", i,
                item.Target);
        break;
      case ItemAction::Keep:
        LogLine("item %i: %s: kept, it is newer than the update's", i, item.Target);
        break;
      case ItemAction::PlaceEntry:
        if (item.Patched) {
          LogLine("item %i: %s: patched from the installed file by entry %i (%lu bytes)", i,
                  item.Target, static_cast<int>(item.EntryIndex),
                  static_cast<unsigned long>(item.Entry->UnpackedSize));
          break;
        }
        LogLine("item %i: %s: from entry %.259s (%lu bytes)", i, item.Target, item.Entry->Name,
                static_cast<unsigned long>(item.Entry->UnpackedSize));
        break;
      case ItemAction::PlaceData:
        LogLine("item %i: %s: the player's own file is kept (%lu bytes)", i, item.Target,
                static_cast<unsigned long>(item.DataSize));
        break;
    }
  }
}
