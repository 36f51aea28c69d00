#include "wizard/run_update.h"

#include "common/updater_contract.h"
#include "common/updater_state_win32.h"
#include "config/decimal.h"
#include "config/settings_access_win32.h"
#include "platform/run_log_win32.h"
#include "platform/set_info_text.h"
#include "platform/update_error.h"
#include "platform/update_journal.h"
#include "resources/dialog_ids.h"
#include "wizard/run_update_steps.h"
#include "wizard/update_dialog.h"

// Any value but 0 limits every update item to targets that exist as files.
static int ReadOverwriteOnly() {
  char value[kPathSize];
  if (!ReadUpdateKey("UPDATE", "OverwriteOnly", value, sizeof value)) return 0;
  return DecimalToInt32(value) != 0;
}

void RunUpdate(HWND dialog) {
  if (!CheckRequiredSpace(dialog)) return;

  // From here on the buttons stay disabled until the run is complete, so that
  // the nested loops of message boxes and of the shell's copy cannot start a
  // second run or close the dialog underneath this one.
  SetInfoText(dialog, "アップデートを実行しています");
  EnableButton(dialog, IDC_BACK, FALSE);
  EnableButton(dialog, IDC_NEXT, FALSE);
  EnableButton(dialog, IDC_STOP, FALSE);
  SetCursor(LoadCursorA(nullptr, IDC_WAIT));
  const int overwriteOnly = ReadOverwriteOnly();

  UpdateRunItems items;
  items.UpdateCount = 0;
  items.CopyCount = 0;
  CollectUpdateItems(items);
  CollectDiscCopyItems(items);
  LogLine("update run: %i update and %i disc item(s) apply", items.UpdateCount, items.CopyCount);
  if (items.UpdateCount == 0 && items.CopyCount == 0) {
    ShowUpdateError(kNothingAppliesMessage);
    EndDialog(dialog, -1);
    return;
  }

  // All or nothing: the items are staged beside their targets first, then put
  // in place together; a failure from there to the end of the disc items puts
  // the old files back.
  static UpdatePlan plan;
  if (!StageUpdateItems(dialog, items, overwriteOnly, plan)) return;
  if (!CommitUpdateItems(dialog, plan)) return;
  LogLine("update run: every new file is in place");
  if (!CopyDiscItems(dialog, items)) {
    RollBackUpdate(plan);
    return;
  }
  FinishUpdate(dialog, plan);
}
