// Planning and staging the update items, and the report of the first item
// that fails.
#include <cstring>

#include "common/updater_contract.h"
#include "platform/path_parts.h"
#include "platform/update_error.h"
#include "platform/update_journal.h"
#include "wizard/log_update_plan.h"
#include "wizard/run_update_plan.h"
#include "wizard/run_update_steps.h"
#include "wizard/staged_file.h"

namespace {

// The room that the run's own files take on the drive of item index beside
// the item's staged file: the staged files of the items before it once they
// are filled, each in whole clusters, and the journal's room when the
// journal lives on that drive.
uint64_t PendingRoom(const UpdatePlan& plan, int index) {
  const char* target = plan.Items[index].Target;
  uint64_t pending = 0;
  int staged = 0;
  size_t longest = 0;
  for (int i = 0; i < plan.Count; ++i) {
    const PlannedItem& item = plan.Items[i];
    if (!HasStagedFile(item)) continue;
    ++staged;
    const size_t length = std::strlen(item.Target);
    if (length > longest) longest = length;
    if (i < index && SameDrive(item.Target, target)) {
      pending += ClusterRoom(target, StagedSize(item));
    }
  }
  char journal[kPathSize];
  if (ComposeJournalPath(journal) && SameDrive(journal, target)) {
    pending += ClusterRoom(target, JournalSizeBound(staged, longest));
  }
  return pending;
}

}  // namespace

int StageUpdateItems(HWND dialog, const UpdateRunItems& items, int overwriteOnly,
                     UpdatePlan& plan) {
  const int planned = PlanUpdateItems(items.UpdateItems, items.UpdateCount, overwriteOnly, plan);
  LogUpdatePlan(plan);
  // The items before a failing one are staged all the same: one of them may
  // fail first in list order, and the player is told about that one. An
  // installed version that the update's patches do not apply to stops the
  // run before any file is written, staged files included.
  int failedAt = planned ? -1 : plan.Count - 1;
  const int refused = !planned && plan.Items[plan.Count - 1].NotPatchable;
  const int stageCount = planned ? plan.Count : refused ? 0 : plan.Count - 1;
  // The staged files are created in list order, then filled side by side.
  // An item whose filling fails comes before every later item, whether that
  // later one failed while it was created or while it was filled, as when the
  // items were staged one after the other.
  int created = 0;
  while (created < stageCount && CreateStagedFile(plan.Items[created],
                                                  PendingRoom(plan, created))) {
    ++created;
  }
  if (created < stageCount) failedAt = created;
  const int fillFailed = FillStagedFiles(plan, created);
  if (fillFailed >= 0) failedAt = fillFailed;
  if (failedAt < 0) return 1;

  // No game file has been touched: the staged files go, and the player sees
  // what a run that wrote item by item would have shown at this item.
  char failureText[kLongTextSize];
  lstrcpynA(failureText, plan.Items[failedAt].FailureText, kLongTextSize);
  RollBackUpdate(plan);
  if (failureText[0]) ShowUpdateError(failureText);
  ShowUpdateError(kWriteFailedMessage);
  EndDialog(dialog, -1);
  return 0;
}
