// Planning and staging the update items, and the report of the first item
// that fails.
#include "platform/update_error.h"
#include "wizard/run_update_plan.h"
#include "wizard/run_update_steps.h"

int StageUpdateItems(HWND dialog, const UpdateRunItems& items, int overwriteOnly,
                     UpdatePlan& plan) {
  const int planned = PlanUpdateItems(items.UpdateItems, items.UpdateCount, overwriteOnly, plan);
  // The items before a failing one are staged all the same: one of them may
  // fail first in list order, and the player is told about that one.
  int failedAt = planned ? -1 : plan.Count - 1;
  const int stageCount = planned ? plan.Count : plan.Count - 1;
  for (int i = 0; i < stageCount; ++i) {
    if (!CreateStagedFile(plan.Items[i]) || !FillStagedFile(plan.Items[i])) {
      failedAt = i;
      break;
    }
  }
  if (failedAt < 0) return 1;

  // No game file has been touched: the staged files go, and the player sees
  // what a run that wrote item by item would have shown at this item.
  char failureText[kLongTextSize];
  lstrcpynA(failureText, plan.Items[failedAt].FailureText, kLongTextSize);
  RollBackUpdate(plan);
  if (failureText[0]) ShowUpdateError(failureText);
  ShowUpdateError("ファイルの書き込みに失敗しました");
  EndDialog(dialog, -1);
  return 0;
}
